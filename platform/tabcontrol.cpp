#include "platform/tabcontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cmath>

namespace platform {

TabControl::TabControl(int tabsPerRow, int rowHeight, QWidget *parent)
    : QWidget(parent), m_tabsPerRow(tabsPerRow), m_rowHeight(rowHeight)
{
    setFocusPolicy(Qt::TabFocus);
}

QWidget *TabControl::addTab(const QString &caption)
{
    // The page paints nothing itself and ignores clicks, so the tab rows under it still work.
    auto *page = new QWidget(this);
    page->setGeometry(rect());
    page->setVisible(m_pages.isEmpty());
    m_captions.append(caption);
    m_pages.append(page);
    if (m_current < 0)
        m_current = 0;
    update();
    return page;
}

void TabControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    // Show the new page before hiding the old one, so focus never falls out of the control.
    m_pages[index]->setVisible(true);
    if (m_pages[m_current]->isAncestorOf(QApplication::focusWidget()))
        focusPage(index);
    m_pages[m_current]->setVisible(false);
    const int previous = m_current;
    m_current = index;
    update();
    announceCurrentTab(previous);
    emit currentChanged(index);
}

// Focus that was on the page left goes where it last was on the new page, else to the page's first
// control in the tab order, else to the control itself.
void TabControl::focusPage(int index)
{
    QWidget *page = m_pages[index];
    QWidget *target = page->focusWidget();
    for (QWidget *w = nextInFocusChain(); !target && w != this; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page)
            && w->isEnabled())
            target = w;
    }
    if (!target)
        target = this;
    target->setFocus(Qt::TabFocusReason);
}

// A screen reader hears the caption of the tab now current: as the new focus when the control
// has the keyboard, and in any case as a change of selection.
void TabControl::announceCurrentTab(int previous)
{
    if (!QAccessible::isActive())
        return;
    if (hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(m_current);
        QAccessible::updateAccessibility(&focus);
    }
    QAccessibleEvent deselected(this, QAccessible::SelectionRemove);
    deselected.setChild(previous);
    QAccessible::updateAccessibility(&deselected);
    QAccessibleEvent selected(this, QAccessible::Selection);
    selected.setChild(m_current);
    QAccessible::updateAccessibility(&selected);
}

int TabControl::rowCount() const
{
    return (count() + m_tabsPerRow - 1) / m_tabsPerRow;
}

QRect TabControl::tabRect(int index) const
{
    if (index < 0 || index >= count())
        return {};
    const int row = index / m_tabsPerRow;
    const int column = index % m_tabsPerRow;
    // Tabs share the width evenly; the last column takes the rounding remainder.
    const int strip = m_stripWidth < 0 ? width() : m_stripWidth;
    const int left = strip * column / m_tabsPerRow;
    const int right = strip * (column + 1) / m_tabsPerRow;
    return QRect(left, row * m_rowHeight, right - left, m_rowHeight);
}

int TabControl::tabAt(QPoint position) const
{
    for (int i = 0; i < count(); ++i) {
        if (tabRect(i).contains(position))
            return i;
    }
    return -1;
}

void TabControl::setTabStripWidth(int width)
{
    m_stripWidth = width;
    update();
}

void TabControl::setBackColor(const QColor &color)
{
    m_backColor = color;
    update();
}

QColor TabControl::backColor() const
{
    return m_backColor.isValid() ? m_backColor : palette().color(QPalette::Button);
}

void TabControl::setForeColor(const QColor &color)
{
    m_foreColor = color;
    update();
}

QColor TabControl::foreColor() const
{
    return m_foreColor.isValid() ? m_foreColor : palette().color(QPalette::ButtonText);
}

namespace {

// Draws the control's edges on whole device pixels, every line as wide as every other: at a
// scale of 1.5 a line one logical pixel wide would come out one device pixel wide or two by where
// it falls. Edges in the control's logical pixels are placed on the nearest device pixel and
// lines drawn round(scale) device pixels wide from there; at a scale of 1 that gives the very
// pixels of the logical rectangles.
class DeviceGrid
{
public:
    explicit DeviceGrid(QPainter *painter) : m_painter(painter)
    {
        const QTransform device = painter->deviceTransform();
        m_scale = device.m11();
        // Where the control's origin falls within a device pixel.
        m_fraction
            = QPointF(device.dx() - std::floor(device.dx()), device.dy() - std::floor(device.dy()));
        m_line = std::max(1, qRound(m_scale));
        painter->save();
        painter->setWorldTransform(QTransform(
            1 / m_scale, 0, 0, 1 / m_scale, -m_fraction.x() / m_scale, -m_fraction.y() / m_scale));
    }
    ~DeviceGrid() { m_painter->restore(); }

    int x(int logical) const { return qRound(logical * m_scale + m_fraction.x()); }
    int y(int logical) const { return qRound(logical * m_scale + m_fraction.y()); }

    // From device column left up to right, device row top up to bottom, each end excluded.
    void fill(int left, int top, int right, int bottom, const QColor &colour)
    {
        if (right > left && bottom > top)
            m_painter->fillRect(QRect(left, top, right - left, bottom - top), colour);
    }
    // A line along the left or right edge x (a device column), from top up to bottom.
    void vertical(int x, int top, int bottom, const QColor &colour)
    {
        fill(x, top, x + m_line, bottom, colour);
    }
    void horizontal(int y, int left, int right, const QColor &colour)
    {
        fill(left, y, right, y + m_line, colour);
    }
    int line() const { return m_line; }

private:
    QPainter *m_painter;
    qreal m_scale = 1;
    QPointF m_fraction;
    int m_line = 1; // device pixels
};

} // namespace

void TabControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor back = backColor();
    const QColor fore = foreColor();
    const QColor light = back.lighter(150);
    const QColor shadow = back.darker(160);
    const QColor dark = QColor(Qt::black);

    const int pageTop = rowCount() * m_rowHeight;
    {
        DeviceGrid grid(&painter);
        const int w = grid.line();
        const int left = grid.x(0), right = grid.x(width()); // right: the first column past
        const int top = grid.y(pageTop), bottom = grid.y(height());
        // The control's own colour around and between its tabs too, not what lies behind it.
        grid.fill(left, grid.y(0), right, bottom, back);
        grid.vertical(left, top, bottom, light);
        grid.horizontal(top, left, right, light);
        grid.vertical(right - w, top, bottom, dark);
        grid.horizontal(bottom - w, left, right, dark);
        grid.vertical(right - 2 * w, top + w, bottom - w, shadow);
        grid.horizontal(bottom - 2 * w, left + w, right - w, shadow);

        for (int i = 0; i < count(); ++i) {
            const bool current = i == m_current;
            const QRect tab = tabRect(i);
            const int l = grid.x(tab.left()), r = grid.x(tab.left() + tab.width());
            const int t = grid.y(tab.top() + (current ? 0 : 2));
            const int b = grid.y(tab.top() + tab.height());
            // The current tab stands a little taller and brighter than the others.
            grid.fill(l + w, t + w, r - w, b + (current ? w : 0),
                      current ? back : back.darker(112));
            grid.vertical(l, t + 2 * w, b, light);
            grid.horizontal(t, l + 2 * w, r - 2 * w, light);
            grid.fill(l + w, t + w, l + 2 * w, t + 2 * w, light);
            grid.vertical(r - w, t + 2 * w, b, dark);
            grid.fill(r - 2 * w, t + w, r - w, t + 2 * w, dark);
            grid.vertical(r - 2 * w, t + 2 * w, b, shadow);
            // The current tab on the last row opens into its page.
            if (current && tab.top() + tab.height() == pageTop)
                grid.horizontal(top, l + w, r - w, back);
        }
    }

    painter.setFont(font());
    for (int i = 0; i < count(); ++i) {
        const bool current = i == m_current;
        const QRect textRect = tabRect(i).adjusted(2, current ? 1 : 3, -2, 0);
        painter.setPen(fore);
        painter.drawText(textRect, Qt::AlignCenter, m_captions.at(i));
        if (current && hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = painter.fontMetrics()
                              .boundingRect(textRect, Qt::AlignCenter, m_captions.at(i))
                              .adjusted(-2, 0, 2, 0);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
}

void TabControl::mousePressEvent(QMouseEvent *event)
{
    const int index = tabAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || index < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    setCurrentIndex(index);
    if (focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
}

int TabControl::pageStep(const QKeyEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)
        || (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)))
        return 0;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Tab:
        return shift ? -1 : 1;
    case Qt::Key_Backtab:
        return -1;
    case Qt::Key_PageDown:
        return shift ? 0 : 1;
    case Qt::Key_PageUp:
        return shift ? 0 : -1;
    default:
        return 0;
    }
}

void TabControl::keyPressEvent(QKeyEvent *event)
{
    // Reached from a child too, as keys it leaves travel up to the control; round past the ends.
    if (const int step = pageStep(event); step != 0 && count() > 0) {
        setCurrentIndex((m_current + step + count()) % count());
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        setCurrentIndex(m_current - 1);
        break;
    case Qt::Key_Right:
        setCurrentIndex(m_current + 1);
        break;
    case Qt::Key_Up:
        setCurrentIndex(m_current - m_tabsPerRow);
        break;
    case Qt::Key_Down:
        setCurrentIndex(m_current + m_tabsPerRow);
        break;
    case Qt::Key_Home:
        setCurrentIndex(0);
        break;
    case Qt::Key_End:
        setCurrentIndex(count() - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TabControl::resizeEvent(QResizeEvent *)
{
    for (QWidget *page : std::as_const(m_pages))
        page->setGeometry(rect());
}

void TabControl::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void TabControl::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

} // namespace platform
