#pragma once

#include <QObject>

#include <deque>
#include <functional>

class QRect;
class QString;
class QWidget;

namespace platform {

// Work a window does ahead of need once its first frame is drawn, one short slice per turn of the
// event loop, so that input waiting in the queue is always answered before the next slice runs.
// It belongs to the window and goes with it.
class Preparer : public QObject
{
    Q_OBJECT

public:
    explicit Preparer(QWidget *window);

    // Queued behind the slices already there.
    void add(std::function<void()> slice);
    bool isDone() const { return m_slices.empty(); }

signals:
    void done();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void runNext();

    std::deque<std::function<void()>> m_slices;
    bool m_started = false;
};

// Queues each of the window's text panes that is not shown yet: read, then laid out and drawn
// once off screen, so that switching to it the first time costs no more than any later time. A
// pane shown before its turn is read then, as it would be without this.
Preparer *prepareTextPanes(QWidget *window);

// Queues a pane of the document `resource` at `geometry`, made for the purpose and thrown away
// once it is drawn off screen, so that a window showing the document later draws its characters
// from the cache. The window itself is not made.
void prepareDocument(Preparer *preparer, const QString &resource, const QRect &geometry);

} // namespace platform
