#include "platform/accessibility.h"

#include "platform/label.h"
#include "platform/tabcontrol.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace platform {

namespace {

// One tab of a tab control. It has no widget of its own; its one child is the tab's page, so a
// screen reader finds a slot's boxes under the tab that names the slot.
class PageTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    PageTabAccessible(TabControl *tabs, int index) : m_tabs(tabs), m_index(index) { }

    TabControl *tabs() const { return m_tabs; }
    int index() const { return m_index; }

    bool isValid() const override { return m_tabs && m_index < m_tabs->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        const QAccessibleInterface *list = parent();
        return list ? list->window() : nullptr;
    }

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_tabs);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(m_tabs->page(m_index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == m_tabs->page(m_index) ? 0 : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QAccessibleInterface *page = child(0);
        return page && page->rect().contains(x, y) && !page->state().invisible ? page : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? m_tabs->tabText(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override
    {
        const QRect tab = m_tabs->tabRect(m_index);
        return QRect(m_tabs->mapToGlobal(tab.topLeft()), tab.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !m_tabs->isVisible();
        state.disabled = !m_tabs->isEnabled();
        state.focusable = m_tabs->focusPolicy() != Qt::NoFocus;
        state.selectable = true;
        state.selected = m_index == m_tabs->currentIndex();
        state.focused = state.selected && m_tabs->hasFocus();
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface
            ? static_cast<QAccessibleActionInterface *>(this)
            : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && m_tabs->isEnabled())
            m_tabs->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<TabControl> m_tabs;
    int m_index;
};

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
// Where the toolkit has the selection interface, a list of page tabs offers it, its one selected
// tab the current one, so a screen reader asks the list which tab is current instead of visiting
// every tab for its state. Selecting a tab makes it current, as pressing it does; the current tab
// cannot be unselected, nor can two tabs be selected at once.
class TabSelectionAccessible : public QAccessibleWidget, public QAccessibleSelectionInterface
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::SelectionInterface
            ? static_cast<QAccessibleSelectionInterface *>(this)
            : QAccessibleWidget::interface_cast(type);
    }

    int selectedItemCount() const override { return tabs()->count() > 0 ? 1 : 0; }
    QList<QAccessibleInterface *> selectedItems() const override
    {
        QAccessibleInterface *current = child(tabs()->currentIndex());
        return current ? QList {current} : QList<QAccessibleInterface *> {};
    }
    bool select(QAccessibleInterface *item) override
    {
        const int index = indexOfChild(item);
        if (index < 0 || !tabs()->isEnabled())
            return false;
        tabs()->setCurrentIndex(index);
        return true;
    }
    bool unselect(QAccessibleInterface *) override { return false; }
    bool selectAll() override { return tabs()->count() == 1; }
    bool clear() override { return false; }

private:
    TabControl *tabs() const { return static_cast<TabControl *>(widget()); }
};
#else
using TabSelectionAccessible = QAccessibleWidget;
#endif

// A tab control is a list of page tabs. The tabs live as long as the control.
class TabListAccessible : public TabSelectionAccessible
{
public:
    explicit TabListAccessible(TabControl *tabs)
        : TabSelectionAccessible(tabs, QAccessible::PageTabList)
    { }
    ~TabListAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_tabIds))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return tabs()->count(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= tabs()->count())
            return nullptr;
        if (const QAccessible::Id id = m_tabIds.value(index))
            return QAccessible::accessibleInterface(id);
        auto *tab = new PageTabAccessible(tabs(), index);
        m_tabIds.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *tab = dynamic_cast<const PageTabAccessible *>(child);
        return tab && tab->tabs() == tabs() ? tab->index() : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint point = tabs()->mapFromGlobal(QPoint(x, y));
        if (!tabs()->rect().contains(point))
            return nullptr;
        const int index = tabs()->tabAt(point);
        return child(index >= 0 ? index : tabs()->currentIndex());
    }
    QAccessibleInterface *focusChild() const override
    {
        return tabs()->hasFocus() ? child(tabs()->currentIndex()) : QAccessibleWidget::focusChild();
    }

private:
    TabControl *tabs() const { return static_cast<TabControl *>(widget()); }

    mutable QHash<int, QAccessible::Id> m_tabIds;
};

// A plain widget is a window of the program, or the page of a tab, whose parent is its tab.
class PlainWidgetAccessible : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QAccessible::Role role() const override
    {
        return widget()->isWindow() ? QAccessible::Window : QAccessible::Client;
    }
    QAccessibleInterface *parent() const override
    {
        if (auto *tabs = qobject_cast<TabControl *>(widget()->parentWidget())) {
            if (QAccessibleInterface *list = QAccessible::queryAccessibleInterface(tabs))
                return list->child(tabs->pageIndex(widget()));
        }
        return QAccessibleWidget::parent();
    }
};

// A label says its caption, or, when it only frames what another label says, nothing: it is
// then layout, which screen readers pass over.
class LabelAccessible : public QAccessibleWidget
{
public:
    explicit LabelAccessible(Label *label) : QAccessibleWidget(label) { }

    QAccessible::Role role() const override
    {
        return label()->isLayoutOnly() ? QAccessible::Client : QAccessible::StaticText;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (label()->isLayoutOnly())
            return {};
        const QString name = label()->accessibleName();
        return name.isEmpty() ? label()->text() : name;
    }

private:
    Label *label() const { return static_cast<Label *>(widget()); }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String(TabControl::staticMetaObject.className()))
        return new TabListAccessible(static_cast<TabControl *>(widget));
    if (className == QLatin1String(Label::staticMetaObject.className()))
        return new LabelAccessible(static_cast<Label *>(widget));
    if (className == QLatin1String(QWidget::staticMetaObject.className()))
        return new PlainWidgetAccessible(widget);
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

} // namespace platform
