#include "platform/forms.h"

#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QScreen>

namespace platform::forms {

namespace {

struct Entry
{
    Factory factory;
    QPointer<QWidget> window;
};

QHash<QString, Entry> &registry()
{
    static QHash<QString, Entry> entries;
    return entries;
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

} // namespace

void define(const QString &name, Factory factory)
{
    registry()[name].factory = std::move(factory);
}

QWidget *instance(const QString &name)
{
    const auto it = registry().constFind(name);
    if (it == registry().constEnd() || !it->window || it->window->isHidden())
        return nullptr;
    return it->window;
}

QWidget *show(const QString &name)
{
    QWidget *window = instance(name);
    if (!window) {
        Entry &entry = registry()[name];
        Q_ASSERT_X(entry.factory, "forms::show", "window has no design");
        window = entry.factory();
        window->setObjectName(name);
        window->setAttribute(Qt::WA_DeleteOnClose);
        entry.window = window;
        centreOnScreen(window);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void unload(const QString &name)
{
    if (QWidget *window = instance(name))
        window->close();
}

} // namespace platform::forms
