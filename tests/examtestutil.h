#pragma once

// Finding and driving the real controls of the exam window, as a student would.

#include "exam/answerkey.h"
#include "exam/examwindow.h"
#include "exam/startup.h"
#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/label.h"
#include "platform/tabcontrol.h"
#include "reference/referencewindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace testutil {

inline void setUpProgram()
{
    platform::installFontSubstitutions();
    exam::defineWindows();
}

inline ExamWindow *openExamWindow()
{
    platform::forms::show(ExamWindow::designName());
    auto *window = dynamic_cast<ExamWindow *>(platform::forms::instance(ExamWindow::designName()));
    if (window && !QTest::qWaitForWindowExposed(window))
        return nullptr;
    return window;
}

// Closes every window of the program and lets them be destroyed.
inline void closeAllWindows()
{
    platform::forms::unload(ExamWindow::designName());
    for (int w = 1; w <= reference::PassLineWindowCount; ++w)
        platform::forms::unload(reference::passLineWindowName(w));
    platform::forms::unload(reference::helpWindowName());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A design rectangle in twips, as pixels. Truncating, not rounding: the design's figures are
// whole pixels, so a control placed off by one shows.
inline QRect pixels(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

template<typename T = QWidget>
T *control(const QWidget *window, const QString &name, int index = 0)
{
    return platform::control<T>(window, name, index);
}

inline QCheckBox *box(const QWidget *window, int k, int i)
{
    return control<QCheckBox>(window, QStringLiteral("chk国語") + QString::number(k), i);
}

inline QLabel *mark(const QWidget *window, int k)
{
    return control<QLabel>(window, QStringLiteral("pctマル"), k);
}

inline QString caption(const QWidget *window, const QString &label)
{
    return control<QLabel>(window, label)->text();
}

inline QTimer *timer(const QWidget *window)
{
    return window->findChild<QTimer *>(QStringLiteral("tmr時間"));
}

inline void clickTab(platform::TabControl *tabs, int index)
{
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Picks the slot's tab on the answer sheet and clicks its box, as a student would.
inline void clickBox(const QWidget *window, int k, int i)
{
    clickTab(control<platform::TabControl>(window, QStringLiteral("SSTab2")), k - 1);
    QCheckBox *checkBox = box(window, k, i);
    QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(8, checkBox->height() / 2));
}

inline void clickButton(const QWidget *window, const QString &name)
{
    QTest::mouseClick(control<QPushButton>(window, name), Qt::LeftButton);
}

inline void tickKeys(const QWidget *window, int fromSlot, int toSlot)
{
    for (int k = fromSlot; k <= toSlot; ++k) {
        for (int i = 1; i <= exam::slot(k).choices; ++i) {
            if (exam::slot(k).key & exam::choice(i))
                clickBox(window, k, i);
        }
    }
}

} // namespace testutil
