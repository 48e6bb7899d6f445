#include "exam/examwindow.h"

#include "exam/examclock.h"
#include "exam/examdesign.h"
#include "exam/grading.h"
#include "exam/scorebands.h"
#include "platform/checkboxes.h"
#include "platform/clientarea.h"
#include "platform/controls.h"
#include "platform/elapsedclock.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/label.h"
#include "platform/mciplayer.h"
#include "platform/rawpicture.h"
#include "platform/richtextpane.h"
#include "platform/statefile.h"
#include "platform/tabcontrol.h"
#include "platform/twips.h"
#include "reference/referencewindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace exam;
namespace twips = ::twips;

namespace {

QRect pixels(const design::Rect &r)
{
    return twips::rect(r.left, r.top, r.width, r.height);
}

QString text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

Qt::Alignment alignment(design::Align align)
{
    switch (align) {
    case design::Align::Left:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case design::Align::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case design::Align::Centre:
        break;
    }
    return Qt::AlignCenter;
}

// A picture box shows its picture unscaled at its top-left corner, over its own background.
QLabel *makeMark(QWidget *page, int k, const QPixmap &picture)
{
    auto *mark = new QLabel(page);
    platform::setDesignName(mark, text(design::MarkArray), k);
    mark->setGeometry(pixels(design::sheetPage(k).mark));
    mark->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    mark->setLineWidth(1);
    mark->setAutoFillBackground(true);
    mark->setBackgroundRole(QPalette::Button);
    mark->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mark->setPixmap(picture);
    mark->setAccessibleName(QStringLiteral("正解 ") + slotCaption(k).toString());
    mark->setVisible(false);
    return mark;
}

} // namespace

ExamWindow::ExamWindow(QWidget *parent)
    : QMainWindow(parent),
      m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }, &platform::elapsedMsecs),
      m_chimeFile(ProgramFolder() + QStringLiteral("Zikan.wav"))
{
    // The window opens on the primary screen. Told so before its controls are made, it saves each
    // of them looking for a screen of its own to resolve its font against.
    setScreen(QGuiApplication::primaryScreen());
    setObjectName(designName());
    setWindowTitle(text(design::WindowCaption));
    setFont(platform::designFont(9));

    auto *client = new platform::ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    client->setPicture(QPixmap::fromImage(platform::rawPictureResource(
        QString::fromLatin1(design::BackgroundPicture), devicePixelRatioF())));
    client->setFixedSize(twips::toPixels(design::ClientWidth),
                         twips::toPixels(design::ClientHeight));
    setCentralWidget(client);

    buildMenus();
    buildLeftColumn(client);
    buildReadingPane(client);
    buildAnswerSheet(client);

    MMControl1 = new platform::MciPlayer(client);
    platform::setDesignName(MMControl1, text(design::MultimediaName));
    MMControl1->setGeometry(pixels(design::MultimediaRect));
    MMControl1->setFileName(m_chimeFile);
    MMControl1->checkFile();
    // The student still notices time-up when the chime cannot sound.
    connect(MMControl1, &platform::MciPlayer::playFailed, this, [this] {
        QApplication::alert(this);
        QApplication::beep();
    });

    tmr時間 = new QTimer(this);
    platform::setDesignName(tmr時間, text(design::TimerName));
    tmr時間->setInterval(design::TimerInterval);
    connect(tmr時間, &QTimer::timeout, this, [this] { tmr時間_Timer(); });

    // The client area is fixed; a larger window only shows more background around it.
    client->setMinimumSize(client->size());
    client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(client->width(), client->height() + menuBar()->sizeHint().height());
    cmdスタート->setFocus();
}

ExamWindow::~ExamWindow() = default;

QString ExamWindow::designName()
{
    return text(design::WindowName);
}

void ExamWindow::setTimeSources(exam::TimeSource wall, exam::TimeSource elapsed)
{
    m_clock.setTimeSources(std::move(wall), std::move(elapsed));
}

void ExamWindow::setSittingMinutes(int minutes)
{
    m_clock.setMinutes(minutes);
}

void ExamWindow::resume(const SavedExam &saved)
{
    setSittingMinutes(saved.minutes);
    for (std::size_t k = 0; k < Slots.size(); ++k) {
        for (int i = 0; i < Slots[k].choices; ++i)
            chk国語[k][std::size_t(i)]->setChecked(saved.ticks[k] & choice(i + 1));
    }
    if (!saved.clock)
        return;
    m_clock.resume(*saved.clock, platform::bootIdentity());
    m_clockStarted = true;
    RemainMinutes = qint16(m_clock.minutesLeft());
    lbl秒->setCaption(formatRemaining(RemainHours, RemainMinutes, RemainSeconds));
    if (RemainMinutes > 0)
        tmr時間->start();
    else if (m_clock.minutesLeftAfter(saved.clock->ran) > 0)
        tmr時間_Timer(); // time ran out while the program was not running: the chime, now
}

void ExamWindow::saveTo(platform::StateFile *file)
{
    m_stateFile = file;
}

Ticks ExamWindow::ticks() const
{
    Ticks ticks {};
    for (std::size_t k = 0; k < Slots.size(); ++k) {
        for (int i = 0; i < Slots[k].choices; ++i) {
            if (chk国語[k][std::size_t(i)]->isChecked())
                ticks[k] |= choice(i + 1);
        }
    }
    return ticks;
}

void ExamWindow::save()
{
    if (!m_stateFile)
        return;
    SavedExam saved {m_clock.minutes(), ticks(), std::nullopt};
    if (m_clockStarted)
        saved.clock = m_clock.state(platform::bootIdentity());
    m_stateFile->write(encodeExam(saved));
}

void ExamWindow::buildMenus()
{
    QMenu *game = menuBar()->addMenu(QStringLiteral("ゲーム(&G)"));
    game->setObjectName(QStringLiteral("mnuGame"));
    QAction *exit = game->addAction(QStringLiteral("終了(&Q)"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, [this] { mnuExit_Click(); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *about = help->addAction(QStringLiteral("バージョン情報(&A)"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, [this] { mnuAbout_Click(); });
}

void ExamWindow::buildLeftColumn(QWidget *client)
{
    for (const design::Control &c : design::LeftColumn) {
        QWidget *widget = nullptr;
        if (c.kind == design::Kind::Button) {
            widget = new QPushButton(text(c.caption), client);
        } else {
            auto *label = new platform::Label(text(c.caption), client);
            label->setAlignment(alignment(c.align));
            if (c.opaque)
                label->setBackColor(QColor::fromRgb(design::Pink));
            // On the pink or on the background picture, never in the theme's text colour.
            label->setForeColor(QColor::fromRgb(design::Ink));
            widget = label;
        }
        platform::setDesignName(widget, text(c.name));
        widget->setGeometry(pixels(c.rect));
        widget->setFont(platform::designFont(c.points, true));
    }
    cmdスタート = platform::control<QPushButton>(client, QStringLiteral("cmdスタート"));
    cmd得点 = platform::control<QPushButton>(client, QStringLiteral("cmd得点"));
    cmd合格率 = platform::control<QPushButton>(client, QStringLiteral("cmd合格率"));
    lbl秒 = platform::control<platform::Label>(client, QStringLiteral("lbl秒"));
    lbl得点 = platform::control<platform::Label>(client, QStringLiteral("lbl得点"));
    lbl得点->setAutoSize(true);
    lbl秒->setSpokenName(QStringLiteral("残り時間"));
    lbl得点->setSpokenName(QStringLiteral("得点"));
    // The words around the time and the score; their spoken names already say as much.
    platform::control<platform::Label>(client, QStringLiteral("Label1"))->setLayoutOnly(true);
    platform::control<platform::Label>(client, QStringLiteral("Label2"))->setLayoutOnly(true);

    connect(cmdスタート, &QPushButton::clicked, this, [this] { cmdスタート_Click(); });
    connect(cmd得点, &QPushButton::clicked, this, [this] { cmd得点_Click(); });
    connect(cmd合格率, &QPushButton::clicked, this, [this] { cmd合格率_Click(); });
}

void ExamWindow::buildReadingPane(QWidget *client)
{
    SSTab1 = new platform::TabControl(design::ReadingTabsPerRow,
                                      twips::toPixels(design::TabRowHeight), client);
    platform::setDesignName(SSTab1, text(design::ReadingName));
    SSTab1->setGeometry(pixels(design::ReadingRect));
    SSTab1->setAccessibleName(QStringLiteral("問題・文章"));
    for (const design::Document &d : design::Documents) {
        QWidget *page = SSTab1->addTab(text(d.caption));
        auto *pane = new platform::RichTextPane(QString::fromLatin1(d.resource),
                                                d.horizontalScrollBar
                                                    ? platform::RichTextPane::ScrollBars::Both
                                                    : platform::RichTextPane::ScrollBars::Vertical,
                                                page);
        platform::setDesignName(pane, text(d.pane));
        pane->setGeometry(pixels(d.rect));
        pane->setAccessibleName(text(d.caption));
    }
}

void ExamWindow::buildAnswerSheet(QWidget *client)
{
    SSTab2 = new platform::TabControl(design::SheetTabsPerRow,
                                      twips::toPixels(design::TabRowHeight), client);
    platform::setDesignName(SSTab2, text(design::SheetName));
    SSTab2->setGeometry(pixels(design::SheetRect));
    SSTab2->setAccessibleName(QStringLiteral("解答用紙"));
    SSTab2->setBackColor(QColor::fromRgb(design::Yellow));
    SSTab2->setForeColor(QColor::fromRgb(design::Ink));
    SSTab2->setTabStripWidth(twips::toPixels(design::ClientWidth - design::SheetRect.left));

    const QPixmap markPicture = QPixmap::fromImage(platform::rawPictureResource(
        QString::fromLatin1(design::MarkPicture), devicePixelRatioF()));
    const QString checkBoxArray = text(design::CheckBoxArray);
    const QStringView choiceCaptions(design::ChoiceCaptions);
    for (int k = 1; k <= SlotCount; ++k) {
        const QString caption = slotCaption(k).toString();
        const design::SheetPage layout = design::sheetPage(k);
        QWidget *page = SSTab2->addTab(caption);

        auto *frame = new QGroupBox(text(design::FrameCaption), page);
        platform::setDesignName(frame, QStringLiteral("Frame") + QString::number(k));
        frame->setGeometry(pixels(layout.frame));
        frame->setAutoFillBackground(true);
        frame->setBackgroundRole(QPalette::Button);
        frame->setAccessibleName(caption);

        const QString arrayName = checkBoxArray + QString::number(k);
        for (int i = 1; i <= slot(k).choices; ++i) {
            const QString choiceCaption = choiceCaptions.mid(i - 1, 1).toString();
            auto *box = new QCheckBox(choiceCaption, frame);
            platform::setDesignName(box, arrayName, i);
            box->setGeometry(pixels({layout.firstBox + (i - 1) * layout.boxSpacing, design::BoxTop,
                                     design::BoxWidth, design::BoxHeight}));
            box->setAccessibleName(caption + u' ' + choiceCaption);
            connect(box, &QCheckBox::toggled, this, [this] { save(); });
            chk国語[std::size_t(k - 1)][std::size_t(i - 1)] = box;
        }
        platform::keepCheckBoxesVisible(frame);
        pctマル[std::size_t(k - 1)] = makeMark(page, k, markPicture);
    }
}

void ExamWindow::cmdスタート_Click()
{
    tmr時間->start();
    m_clock.start();
    m_clockStarted = true;
    RemainMinutes = qint16(m_clock.minutes());
    lbl秒->setCaption(formatRemaining(RemainHours, RemainMinutes, RemainSeconds));
    lbl得点->setCaption(QString());
    save();
}

// Runs every second while the clock runs. A tick that finds no new minute boundary changes
// nothing that can be seen; the player is opened on every tick, which costs nothing once open.
void ExamWindow::tmr時間_Timer()
{
    const int left = m_clock.minutesLeft();
    if (left != RemainMinutes) {
        RemainMinutes = qint16(left);
        lbl秒->setCaption(formatRemaining(RemainHours, RemainMinutes, RemainSeconds));
        // After a reboot only the last save's time on the elapsed clock is known.
        save();
    }

    MMControl1->setFileName(m_chimeFile);
    MMControl1->setCommand(QStringLiteral("Open"));

    if (lbl秒->caption() == u"0:00") {
        tmr時間->stop();
        PlaySound();
    }
}

void ExamWindow::PlaySound()
{
    MMControl1->setCommand(QStringLiteral("Prev"));
    MMControl1->setCommand(QStringLiteral("Play"));
}

QString ExamWindow::ProgramFolder()
{
    return withTrailingSeparator(QCoreApplication::applicationDirPath());
}

// Closing the window stops its clock with it; no chime follows. It is a normal end: the next
// start begins afresh.
void ExamWindow::closeEvent(QCloseEvent *event)
{
    tmr時間->stop();
    if (m_stateFile)
        m_stateFile->release();
    m_stateFile = nullptr;
    QMainWindow::closeEvent(event);
}

void ExamWindow::cmd得点_Click()
{
    cmdスタート->setEnabled(true);
    lbl秒->setCaption(QString());
    tmr時間->stop();
    m_clockStarted = false;

    const Grade result = grade(ticks());
    for (std::size_t k = 0; k < Slots.size(); ++k)
        pctマル[k]->setVisible(result.right[k]);
    lbl得点->setCaption(scoreText(result.total));
    save();
}

void ExamWindow::cmd合格率_Click()
{
    const int window = passLineWindow(lbl得点->caption());
    if (window != NoVerdict)
        platform::forms::show(reference::passLineWindowName(window));
}

void ExamWindow::mnuExit_Click()
{
    close();
    for (int window = 1; window <= reference::PassLineWindowCount; ++window)
        platform::forms::unload(reference::passLineWindowName(window));
    platform::forms::unload(reference::helpWindowName());
}

void ExamWindow::mnuAbout_Click()
{
    platform::forms::show(reference::helpWindowName());
}
