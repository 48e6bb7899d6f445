#include "exam/startup.h"

#include "exam/examwindow.h"
#include "platform/accessibility.h"
#include "platform/forms.h"
#include "reference/referencewindows.h"

namespace exam {

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
    platform::forms::show(ExamWindow::designName());
}

} // namespace exam
