#pragma once

#include <QColor>
#include <QKeyEvent>
#include <QList>
#include <QWidget>

namespace platform {

// A tab control with captioned tabs in fixed rows, a set number to a row. Each tab owns a page
// that covers the whole control, tab rows included, so that controls placed on it keep the
// coordinates of the design; only the current page is shown.
class TabControl : public QWidget
{
    Q_OBJECT

public:
    TabControl(int tabsPerRow, int rowHeight, QWidget *parent = nullptr);

    QWidget *addTab(const QString &caption);

    int count() const { return int(m_pages.size()); }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);

    QWidget *page(int index) const { return m_pages.value(index); }
    int pageIndex(const QWidget *page) const { return int(m_pages.indexOf(page)); }
    QString tabText(int index) const { return m_captions.value(index); }
    int rowCount() const;
    QRect tabRect(int index) const;
    int tabAt(QPoint position) const;

    // Ctrl+Tab and Ctrl+PageDown move to the next tab from anywhere inside the control,
    // Ctrl+Shift+Tab and Ctrl+PageUp to the previous one: 1, -1, or 0 for any other key. A child
    // that takes keys for itself leaves these to the control.
    static int pageStep(const QKeyEvent *event);

    // The tabs share this width evenly; by default the control's own width. A control that runs
    // past the edge of its window keeps its tabs in the part that can be seen.
    void setTabStripWidth(int width);

    // Colours the design fixes, kept whatever the desktop theme. Without them the control takes
    // the theme's button face and button text.
    void setBackColor(const QColor &color);
    QColor backColor() const;
    void setForeColor(const QColor &color);
    QColor foreColor() const;

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void announceCurrentTab(int previous);
    void focusPage(int index);

    int m_tabsPerRow;
    int m_rowHeight; // pixels
    int m_stripWidth = -1;
    int m_current = -1;
    QColor m_backColor;
    QColor m_foreColor;
    QList<QString> m_captions;
    QList<QWidget *> m_pages;
};

} // namespace platform
