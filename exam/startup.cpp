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

#include <QDir>
#include <QPointer>

namespace exam {

namespace {

platform::StateFile &stateFile()
{
    static platform::StateFile file(QStringLiteral("exam.state"), QStringLiteral("exam.lock"));
    return file;
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

void showExamWindow()
{
    auto *window = static_cast<ExamWindow *>(platform::forms::show(ExamWindow::designName()));
    platform::Preparer *preparer = platform::prepareTextPanes(window);
    reference::prepareAhead(preparer);
    // Then the chime's module, needed from the first tick after Start.
    preparer->add([player = QPointer(platform::control<platform::MciPlayer>(
                       window, QString::fromUtf16(design::MultimediaName)))] {
        if (player)
            player->loadModuleAhead();
    });
    platform::StateFile &file = stateFile();
    if (!file.lock())
        return;
    if (const std::optional<QByteArray> data = file.read(MaxSavedExamSize)) {
        if (const std::optional<SavedExam> saved = decodeExam(*data)) {
            window->resume(*saved);
        } else {
            qWarning("kokugo-mogi: %s is not a state this program saved; it is ignored and "
                     "removed",
                     qPrintable(QDir::toNativeSeparators(file.filePath())));
            file.remove();
        }
    }
    // Only now: taking up the ticks above writes nothing.
    window->saveTo(&file);
}

} // namespace exam
