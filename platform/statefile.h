#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QLockFile;
class QObject;
class QSocketNotifier;

namespace platform {

// A small file in the user's state folder, $XDG_STATE_HOME/kokugo-mogi (by default
// ~/.local/state/kokugo-mogi), that the program removes when it ends normally. It is written
// whole or not at all, beside its name and renamed over it, so a crash or a power cut leaves the
// last complete version and a link put in its place is replaced, never written through. The
// writing and its sync happen on a thread of their own, so a slow disk never holds up a window;
// the newest contents replace any not yet written.
//
// One copy of the program at a time holds it, with a lock file beside it, and listens on a
// socket there, so that a later copy can ask it to come forward instead of running a sitting of
// its own.
class StateFile
{
public:
    enum class Claim {
        Taken,    // this copy holds the file
        Answered, // the copy that holds it answered the call: it has the sitting
        NoAnswer, // a live copy holds it but did not answer; reported
        Failed,   // the folder cannot hold it; reported
    };
    // Why the answers cannot be kept, as the failure handler is told.
    enum class Failure { CannotWrite, HeldElsewhere };

    StateFile(const QString &fileName, const QString &lockName, const QString &socketName);
    // Finishes what is queued, then lets go of the lock.
    ~StateFile();

    static QString folder();
    QString filePath() const { return m_path; }

    // Takes the lock, or calls the copy that holds it, for at most a moment; taken again after
    // release().
    Claim claim();
    bool isLocked() const { return m_locked; }

    // Runs on this thread each time a later copy calls.
    void setCallHandler(std::function<void()> handler) { m_onCall = std::move(handler); }

    // Told once a sitting (until release()), on this thread, why the answers cannot be kept (also
    // said on standard error); a failure already known is told at once.
    void setFailureHandler(std::function<void(Failure, const QString &)> handler);

    // The file's contents, at most `maxSize` + 1 bytes so that a larger file shows as too large.
    // Nothing when there is nothing to take up: no file, or one that cannot be read or is not a
    // file at all, which is reported and left where it is; the program then writes nothing over
    // it.
    std::optional<QByteArray> read(qsizetype maxSize);

    // Queued for the writing thread. Without the lock it is tried again first, so a copy that
    // could not save at first starts to once the lock is free.
    void write(const QByteArray &data);

    // Queued after any write before it, so no write can bring the file back.
    void remove();

    // Returns once everything queued is done.
    void flush();

    // Removes the file, waits for that, and gives up the lock and the socket.
    void release();

private:
    enum class Op { None, Write, Remove };

    bool tryLock();
    bool knock() const;
    void listen();
    void answerCall();
    void queue(Op op, QByteArray data);
    void run();
    // On the writing thread; an error's description, or empty.
    QString writeNow(const QByteArray &data);
    void removeNow();
    void fail(Failure failure, const QString &message);

    const QString m_path;
    const QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    // Queued calls from the writing thread land here, on the thread that made the file.
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QSocketNotifier> m_door;
    int m_doorFd = -1;
    bool m_locked = false;
    // A file that could not be read, or is no file, is in the way: nothing is written over it.
    bool m_blocked = false;
    bool m_failed = false;
    std::optional<std::pair<Failure, QString>> m_untold;
    std::function<void()> m_onCall;
    std::function<void(Failure, const QString &)> m_onFailure;

    // Shared with the writing thread, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    Op m_op = Op::None;
    QByteArray m_data;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_writer;
};

} // namespace platform
