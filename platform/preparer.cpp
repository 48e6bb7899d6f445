#include "platform/preparer.h"

#include "platform/richtextpane.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

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

namespace {

// Read, then drawn a band at a time: the lines each band crosses are laid out with it. A pane
// that is shown, or gone, by its turn is left as it is.
void addDrawing(Preparer *preparer, const std::function<RichTextPane *()> &pane)
{
    preparer->add([pane] {
        if (RichTextPane *p = pane())
            p->load();
    });
    for (int band = 0; band < DrawnBands; ++band) {
        preparer->add([pane, band] {
            RichTextPane *p = pane();
            if (!p || p->isVisible())
                return;
            const int height = (p->height() + DrawnBands - 1) / DrawnBands;
            p->drawOffScreen(QRect(0, band * height, p->width(), height));
        });
    }
}

} // namespace

Preparer *prepareTextPanes(QWidget *window)
{
    auto *preparer = new Preparer(window);
    for (RichTextPane *pane : window->findChildren<RichTextPane *>()) {
        if (!pane->isVisible())
            addDrawing(preparer, [guarded = QPointer(pane)] { return guarded.data(); });
    }
    return preparer;
}

void prepareDocument(Preparer *preparer, const QString &resource, const QRect &geometry)
{
    auto pane = std::make_shared<std::unique_ptr<RichTextPane>>();
    preparer->add([pane, resource, geometry] {
        *pane = std::make_unique<RichTextPane>(resource, RichTextPane::ScrollBars::Vertical);
        (*pane)->setGeometry(geometry);
    });
    addDrawing(preparer, [pane] { return pane->get(); });
    preparer->add([pane] { pane->reset(); });
}

} // namespace platform
