#include "examtestutil.h"

#include "exam/grading.h"
#include "platform/mciplayer.h"

#include <QMenu>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace testutil;

namespace {

constexpr qint64 NineOClock = 1796720400000; // a minute boundary

// What the student should see, kept beside the real window and compared after every action.
struct Model
{
    exam::Ticks ticks {};
    std::array<bool, exam::SlotCount> marks {};
    QString score;
    bool running = false;
    int lastMinutes = 0; // as last shown while running
    int plays = 0;       // chimes in this run
};

} // namespace

// Builds the failure message only when it is needed: the checks run after every action.
#define SOAK_VERIFY(condition, step, what) \
    do { \
        if (!(condition)) \
            QFAIL(qPrintable(failure(step, what))); \
    } while (false)

// A seeded random walk of many actions through the real windows: ticking boxes, switching tabs,
// Start, Score, Pass rate, About, closing windows and timer ticks in jitter, with the machine
// sleeping and the wall clock set forward and back. KOKUGO_SOAK_SEED and KOKUGO_SOAK_ACTIONS repeat
// or lengthen a run.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpProgram(); }
    void cleanup() { closeAllWindows(); }
    void randomActions();

private:
    void openWindow();
    void act(int action);
    void check(qint64 step);
    QString failure(qint64 step, const QString &what) const;

    QRandomGenerator m_random;
    quint32 m_seed = 0;
    qint64 m_wall = NineOClock;
    qint64 m_elapsed = 0;
    ExamWindow *m_window = nullptr;
    std::array<std::array<QCheckBox *, exam::MaxChoices>, exam::SlotCount> m_boxes {};
    std::array<QLabel *, exam::SlotCount> m_marks {};
    QLabel *m_time = nullptr;
    QLabel *m_score = nullptr;
    QTimer *m_timer = nullptr;
    std::unique_ptr<QSignalSpy> m_commands;
    Model m_model;
    QString m_lastAction;
};

void TestSoak::openWindow()
{
    m_window = openExamWindow();
    QVERIFY(m_window);
    m_window->setTimeSources([this] { return m_wall; }, [this] { return m_elapsed; });
    for (int k = 1; k <= exam::SlotCount; ++k) {
        m_marks[std::size_t(k - 1)] = mark(m_window, k);
        for (int i = 1; i <= exam::slot(k).choices; ++i)
            m_boxes[std::size_t(k - 1)][std::size_t(i - 1)] = box(m_window, k, i);
    }
    m_time = control<QLabel>(m_window, QStringLiteral("lbl秒"));
    m_score = control<QLabel>(m_window, QStringLiteral("lbl得点"));
    m_timer = timer(m_window);
    m_commands = std::make_unique<QSignalSpy>(
        control<platform::MciPlayer>(m_window, QStringLiteral("MMControl1")),
        &platform::MciPlayer::commandDone);
    m_model = Model {};
}

QString TestSoak::failure(qint64 step, const QString &what) const
{
    return QStringLiteral("seed %1, action %2 (%3): %4")
        .arg(m_seed)
        .arg(step)
        .arg(m_lastAction, what);
}

void TestSoak::act(int action)
{
    auto *sheet = control<platform::TabControl>(m_window, QStringLiteral("SSTab2"));
    switch (action) {
    case 0: { // tick or untick a box
        const int k = int(m_random.bounded(exam::SlotCount)) + 1;
        const int i = int(m_random.bounded(exam::slot(k).choices)) + 1;
        m_lastAction = QStringLiteral("click %1(%2)").arg(k).arg(i);
        clickBox(m_window, k, i);
        m_model.ticks[std::size_t(k - 1)] ^= exam::choice(i);
        break;
    }
    case 1: { // look at another tab
        const bool reading = m_random.bounded(2);
        auto *tabs
            = reading ? control<platform::TabControl>(m_window, QStringLiteral("SSTab1")) : sheet;
        const int tab = int(m_random.bounded(tabs->count()));
        m_lastAction = QStringLiteral("tab %1 of %2").arg(tab).arg(tabs->objectName());
        clickTab(tabs, tab);
        break;
    }
    case 2:
        m_lastAction = QStringLiteral("Start");
        clickButton(m_window, QStringLiteral("cmdスタート"));
        m_model.score.clear();
        m_model.running = true;
        m_model.lastMinutes = 80;
        m_model.plays = 0;
        m_commands->clear();
        break;
    case 3: {
        m_lastAction = QStringLiteral("Score");
        clickButton(m_window, QStringLiteral("cmd得点"));
        const exam::Grade grade = exam::grade(m_model.ticks);
        m_model.marks = grade.right;
        m_model.score = QString::number(grade.total);
        m_model.running = false;
        break;
    }
    case 4:
        m_lastAction = QStringLiteral("Pass rate");
        clickButton(m_window, QStringLiteral("cmd合格率"));
        break;
    case 5:
        m_lastAction = QStringLiteral("About");
        m_window->findChild<QAction *>(QStringLiteral("mnuAbout"))->trigger();
        break;
    case 6: { // close a reference window that is open
        const int which = int(m_random.bounded(reference::PassLineWindowCount + 1));
        const QString name
            = which == 0 ? reference::helpWindowName() : reference::passLineWindowName(which);
        m_lastAction = QStringLiteral("close ") + name;
        if (QWidget *window = platform::forms::instance(name))
            window->close();
        break;
    }
    case 7: { // time passes and the timer ticks
        const quint32 kind = m_random.bounded(100);
        qint64 step = 900 + m_random.bounded(201); // timer jitter
        qint64 wallStep = 0;
        if (kind < 3)
            step = 10 * 60000; // a suspended machine
        else if (kind < 5)
            wallStep = -5 * 60000; // the wall clock set back
        else if (kind < 7)
            wallStep = 45 * 60000; // the wall clock set forward
        else if (kind < 30)
            step = 60000; // skip ahead a whole minute
        m_elapsed += step;
        m_wall += step + wallStep;
        m_lastAction = QStringLiteral("tick after %1 ms, wall clock %2 ms").arg(step).arg(wallStep);
        if (timer(m_window)->isActive())
            m_window->tmr時間_Timer();
        break;
    }
    case 8: // Exit now and then, or closing the exam window, then a new session
        m_lastAction = m_random.bounded(2) ? QStringLiteral("Exit") : QStringLiteral("close");
        if (m_lastAction == u"Exit")
            m_window->findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
        else
            m_window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        openWindow();
        break;
    }
}

void TestSoak::check(qint64 step)
{
    static const QRegularExpression time(QStringLiteral("^[0-9]:[0-5][0-9]$"));
    const QString remaining = m_time->text();
    const bool running = m_timer->isActive();

    SOAK_VERIFY(m_score->text() == m_model.score, step,
                QStringLiteral("score shows ") + m_score->text());
    for (std::size_t k = 0; k < m_marks.size(); ++k) {
        SOAK_VERIFY(m_marks[k]->isHidden() != m_model.marks[k], step,
                    QStringLiteral("mark %1").arg(k + 1));
        for (int i = 0; i < exam::slot(int(k) + 1).choices; ++i)
            SOAK_VERIFY(m_boxes[k][std::size_t(i)]->isChecked()
                            == bool(m_model.ticks[k] & exam::choice(i + 1)),
                        step, QStringLiteral("box %1(%2)").arg(k + 1).arg(i + 1));
    }

    SOAK_VERIFY(remaining.isEmpty() || time.match(remaining).hasMatch(), step, remaining);
    if (m_model.running) {
        const int minutes = remaining.left(1).toInt() * 60 + remaining.mid(2).toInt();
        SOAK_VERIFY(minutes <= m_model.lastMinutes, step,
                    QStringLiteral("time rose to ") + remaining);
        m_model.lastMinutes = minutes;
        SOAK_VERIFY(running == (minutes > 0), step, QStringLiteral("timer"));
        if (!running)
            m_model.running = false;
    } else {
        SOAK_VERIFY(!running, step, QStringLiteral("timer runs"));
    }

    int plays = 0;
    for (const QList<QVariant> &command : std::as_const(*m_commands))
        plays += command.at(0).toString() == u"Play";
    SOAK_VERIFY(plays <= 1, step, QStringLiteral("chimed twice"));
    SOAK_VERIFY(plays == 0 || remaining == u"0:00", step, QStringLiteral("chimed at ") + remaining);

    QHash<QString, int> instances;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !window->objectName().isEmpty())
            SOAK_VERIFY(++instances[window->objectName()] == 1, step,
                        QStringLiteral("two ") + window->objectName());
    }
}

void TestSoak::randomActions()
{
    m_seed = qEnvironmentVariableIsSet("KOKUGO_SOAK_SEED")
        ? quint32(qEnvironmentVariableIntValue("KOKUGO_SOAK_SEED"))
        : 20261208u;
    const int actions = qEnvironmentVariableIsSet("KOKUGO_SOAK_ACTIONS")
        ? qEnvironmentVariableIntValue("KOKUGO_SOAK_ACTIONS")
        : 100000;
    m_random.seed(m_seed);
    openWindow();

    // Weights: mostly ticks and clock, now and then the rarer actions.
    const int weights[] = {40, 10, 4, 6, 3, 2, 3, 40, 1};
    int totalWeight = 0;
    for (int w : weights)
        totalWeight += w;
    for (qint64 step = 0; step < actions; ++step) {
        int pick = int(m_random.bounded(totalWeight));
        int action = 0;
        while (pick >= weights[action])
            pick -= weights[action++];
        act(action);
        if (QTest::currentTestFailed())
            return;
        check(step);
        if (QTest::currentTestFailed())
            return;
        if (step % 1000 == 0)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    qInfo("soak: %d actions from seed %u", actions, m_seed);
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
