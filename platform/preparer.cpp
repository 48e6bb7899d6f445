#include "platform/preparer.h"

#include "platform/richtextpane.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace platform {

namespace {

constexpr int DrawnBands = 4;

} // namespace

Preparer::Preparer(QWidget *window) : QObject(window)
{
    window->installEventFilter(this);
}

void Preparer::add(std::function<void()> slice)
{
    m_slices.push_back(std::move(slice));
}

// The first paint of the window: a zero timer set now fires once that frame is on screen.
bool Preparer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_started) {
        m_started = true;
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, &Preparer::runNext);
    }
    return false;
}

void Preparer::runNext()
{
    if (m_slices.empty())
        return;
    const std::function<void()> slice = std::move(m_slices.front());
    m_slices.pop_front();
    slice();
    if (m_slices.empty())
        emit done();
    else
        QTimer::singleShot(0, this, &Preparer::runNext);
}

Preparer *prepareTextPanes(QWidget *window)
{
    auto *preparer = new Preparer(window);
    for (RichTextPane *pane : window->findChildren<RichTextPane *>()) {
        if (pane->isVisible())
            continue;
        const QPointer<RichTextPane> guarded(pane);
        preparer->add([guarded] {
            if (guarded)
                guarded->load();
        });
        // Drawn a band at a time: the lines each band crosses are laid out with it.
        for (int band = 0; band < DrawnBands; ++band) {
            preparer->add([guarded, band] {
                if (!guarded || guarded->isVisible())
                    return;
                const int height = (guarded->height() + DrawnBands - 1) / DrawnBands;
                guarded->drawOffScreen(QRect(0, band * height, guarded->width(), height));
            });
        }
    }
    return preparer;
}

} // namespace platform
