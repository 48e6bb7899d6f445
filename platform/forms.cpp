#include "platform/forms.h"

#include <QEvent>
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

// The whole window, title bar and borders included, sits in the middle of the screen. move()
// places the frame's corner.
void centreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize frame = window->frameGeometry().size();
    window->move(screen->availableGeometry().center()
                 - QPoint(frame.width() / 2, frame.height() / 2));
}

// A window manager adds its frame only once the window is shown, so a window centred before that
// is centred again, once, when its frame is first known.
class CentreWithFrame : public QObject
{
public:
    explicit CentreWithFrame(QWidget *window) : QObject(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize)
            && window->frameGeometry().size() != window->size()) {
            window->removeEventFilter(this);
            deleteLater();
            centreOnScreen(window);
        }
        return false;
    }
};

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
        new CentreWithFrame(window);
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
