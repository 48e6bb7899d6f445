#include "exam/startup.h"

#include "exam/examdesign.h"
#include "exam/examstate.h"
#include "exam/examwindow.h"
#include "platform/accessibility.h"
#include "platform/controls.h"
#include "platform/forms.h"
#include "platform/mciplayer.h"
#include "platform/preparer.h"
#include "platform/statefile.h"
#include "reference/referencewindows.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace exam {

namespace {

platform::StateFile &stateFile()
{
    static platform::StateFile file(QStringLiteral("exam.state"), QStringLiteral("exam.lock"),
                                    QStringLiteral("exam.socket"));
    return file;
}

// Where the student looks: a message beside the exam window, which goes on as it is.
void tellStudent(ExamWindow *window, platform::StateFile::Failure failure, const QString &detail)
{
    const QString text = failure == platform::StateFile::Failure::HeldElsewhere
        ? QStringLiteral("別の kokugo-mogi が動いていますが、応答がありません。\n"
                         "この試験の解答は、そちらが終わるまで保存されません。")
        : QStringLiteral("解答を保存できません。\n"
                         "このまま試験は続けられますが、プログラムが落ちたり停電したりすると、"
                         "解答と時計は元に戻せません。");
    auto *box = new QMessageBox(QMessageBox::Warning, ExamWindow::designName(), text,
                                QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("stateWarning"));
    box->setInformativeText(detail);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

// A later start asked for the sitting: its window comes to the front.
void comeForward(const QPointer<ExamWindow> &window)
{
    if (!window)
        return;
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
    QApplication::alert(window);
}

} // namespace

void defineWindows()
{
    platform::installAccessibility();
    platform::forms::define(ExamWindow::designName(), [] { return new ExamWindow; });
    platform::forms::define(reference::helpWindowName(),
                            [] { return reference::createHelpWindow(); });
    for (int window = 1; window <= reference::PassLineWindowCount; ++window) {
        platform::forms::define(reference::passLineWindowName(window),
                                [window] { return reference::createPassLineWindow(window); });
    }
}

void showExamWindow(int sittingMinutes)
{
    platform::StateFile &file = stateFile();
    const platform::StateFile::Claim claim = file.claim();
    if (claim == platform::StateFile::Claim::Answered) {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return;
    }
    auto *window = static_cast<ExamWindow *>(platform::forms::show(ExamWindow::designName()));
    window->setSittingMinutes(sittingMinutes);
    platform::Preparer *preparer = platform::prepareTextPanes(window);
    reference::prepareAhead(preparer);
    // Then the chime's module, needed from the first tick after Start.
    preparer->add([player = QPointer(platform::control<platform::MciPlayer>(
                       window, QString::fromUtf16(design::MultimediaName)))] {
        if (player)
            player->loadModuleAhead();
    });
    const QPointer<ExamWindow> guarded(window);
    file.setCallHandler([guarded] { comeForward(guarded); });
    file.setFailureHandler([guarded](platform::StateFile::Failure failure, const QString &detail) {
        tellStudent(guarded, failure, detail);
    });
    bool resumed = false;
    if (const std::optional<QByteArray> data = file.read(MaxSavedExamSize)) {
        if (const std::optional<SavedExam> saved = decodeExam(*data)) {
            window->resume(*saved);
            resumed = true;
        } else {
            qWarning("kokugo-mogi: %s is not a state this program saved; it is ignored and "
                     "removed",
                     qPrintable(QDir::toNativeSeparators(file.filePath())));
            file.remove();
        }
    }
    // Only now: taking up the ticks above writes nothing. The sitting taken up is then saved
    // afresh, in this boot.
    window->saveTo(&file);
    if (resumed)
        window->save();
}

} // namespace exam
