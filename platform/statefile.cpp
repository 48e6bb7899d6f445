#include "platform/statefile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QObject>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// How long a later copy waits for the holder's answer: a live program answers at once, a hung
// one never does.
constexpr int CallMsecs = 2000;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

#ifdef Q_OS_UNIX
// A new file's name lives in its folder: until the folder reaches the disk, a power cut can take
// the file away with it, however well its contents were written.
void syncFolder(const QString &folder)
{
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The socket's address, or nothing where the path is too long for one.
std::optional<sockaddr_un> socketAddress(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    if (name.size() >= qsizetype(sizeof(address.sun_path)))
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    return address;
}

// What is at the path, in the words a warning uses, when it is neither a file nor a link.
QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}
#endif

} // namespace

StateFile::StateFile(const QString &fileName, const QString &lockName, const QString &socketName)
    : m_path(folder() + u'/' + fileName),
      m_socketPath(folder() + u'/' + socketName),
      m_lock(new QLockFile(folder() + u'/' + lockName)),
      m_context(new QObject)
{
    // A lock left by a crash is taken over once its process is gone. Qt also holds an flock on
    // the lock file, so a live holder keeps it however old it is, and the default stale time
    // only frees a lock file left empty by a power cut.
}

StateFile::~StateFile()
{
    if (m_writer.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_writer.join();
    }
    m_door.reset();
#ifdef Q_OS_UNIX
    if (m_doorFd >= 0)
        ::close(m_doorFd);
#endif
}

QString StateFile::folder()
{
    // Only an absolute XDG_STATE_HOME counts; a relative one is ignored, as desktops do.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/kokugo-mogi"));
}

void StateFile::setFailureHandler(std::function<void(Failure, const QString &)> handler)
{
    m_onFailure = std::move(handler);
    if (m_untold && m_onFailure)
        m_onFailure(m_untold->first, m_untold->second);
    m_untold.reset();
}

bool StateFile::tryLock()
{
    if (m_locked)
        return true;
    const QString where = QFileInfo(m_path).path();
    if (!QDir().mkpath(where)) {
        fail(Failure::CannotWrite, QStringLiteral("cannot create %1").arg(native(where)));
        return false;
    }
    m_locked = m_lock->tryLock(0);
    if (m_locked) {
        listen();
        return true;
    }
    if (m_lock->error() != QLockFile::LockFailedError)
        fail(Failure::CannotWrite, QStringLiteral("cannot write in %1").arg(native(where)));
    return false;
}

StateFile::Claim StateFile::claim()
{
    if (tryLock())
        return Claim::Taken;
    if (m_lock->error() != QLockFile::LockFailedError)
        return Claim::Failed;
    // The holder may have taken the lock a moment ago and not be listening yet, or be ending.
    const QDeadlineTimer deadline(CallMsecs);
    do {
        if (knock())
            return Claim::Answered;
        if (tryLock())
            return Claim::Taken;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    fail(
        Failure::HeldElsewhere,
        QStringLiteral("another kokugo-mogi is running (it holds %1) and does not answer; this one "
                       "saves its answers once that one has ended")
            .arg(native(m_lock->fileName())));
    return Claim::NoAnswer;
}

// Rings the holder's socket and waits, within the call's time, for its answer.
bool StateFile::knock() const
{
#ifdef Q_OS_UNIX
    const std::optional<sockaddr_un> address = socketAddress(m_socketPath);
    if (!address)
        return false;
    // Not blocking: a holder whose queue is full counts as one that does not answer.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool answered = false;
    // reinterpret_cast is how the socket interface is called.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof(*address)) == 0) {
        pollfd answer {fd, POLLIN, 0};
        char reply[3] {};
        answered = ::poll(&answer, 1, CallMsecs) == 1 && ::read(fd, reply, sizeof reply) == 3
            && std::memcmp(reply, "ok\n", 3) == 0;
    }
    ::close(fd);
    return answered;
#else
    return false;
#endif
}

// Opens the socket a later copy calls at. Only the lock's holder gets here, so whatever is at its
// path is left over from a crash. Where no socket can be had, a later copy hears no answer and
// says so.
void StateFile::listen()
{
#ifdef Q_OS_UNIX
    const std::optional<sockaddr_un> address = socketAddress(m_socketPath);
    if (!address)
        return;
    m_doorFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_doorFd < 0)
        return;
    ::unlink(address->sun_path);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    if (::bind(m_doorFd, reinterpret_cast<const sockaddr *>(&*address), sizeof(*address)) != 0
        || ::listen(m_doorFd, 8) != 0) {
        ::close(m_doorFd);
        m_doorFd = -1;
        return;
    }
    m_door = std::make_unique<QSocketNotifier>(m_doorFd, QSocketNotifier::Read);
    QObject::connect(m_door.get(), &QSocketNotifier::activated, m_context.get(),
                     [this] { answerCall(); });
#endif
}

void StateFile::answerCall()
{
#ifdef Q_OS_UNIX
    const int caller = ::accept4(m_doorFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (caller < 0)
        return;
    if (m_onCall)
        m_onCall();
    (void)::send(caller, "ok\n", 3, MSG_NOSIGNAL);
    ::close(caller);
#endif
}

std::optional<QByteArray> StateFile::read(qsizetype maxSize)
{
    if (!m_locked)
        return std::nullopt;
#ifdef Q_OS_UNIX
    struct stat status = {};
    if (::lstat(QFile::encodeName(m_path).constData(), &status) != 0)
        return std::nullopt;
    // A link is not followed; the first save replaces it.
    if (S_ISLNK(status.st_mode)) {
        qWarning("kokugo-mogi: %s is a symbolic link, not a state this program saved; it is "
                 "ignored and replaced at the first save",
                 qPrintable(native(m_path)));
        return std::nullopt;
    }
    // A pipe or a device could block or never end; a folder is someone's.
    if (!S_ISREG(status.st_mode)) {
        m_blocked = true;
        fail(Failure::CannotWrite,
             QStringLiteral("%1 is %2, not a state file; it is left alone")
                 .arg(native(m_path), notAFile(status.st_mode)));
        return std::nullopt;
    }
#endif
    QFile file(m_path);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.read(maxSize + 1);
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        m_blocked = true;
        fail(Failure::CannotWrite,
             QStringLiteral("%1 cannot be read (%2); it is left as it is")
                 .arg(native(m_path), file.errorString()));
        return std::nullopt;
    }
    return data;
}

void StateFile::write(const QByteArray &data)
{
    if (!m_blocked && tryLock())
        queue(Op::Write, data);
}

void StateFile::remove()
{
    // What stood in the way was never this program's to remove.
    if (m_locked && !m_blocked)
        queue(Op::Remove, QByteArray());
}

void StateFile::queue(Op op, QByteArray data)
{
    {
        const std::lock_guard lock(m_mutex);
        m_op = op;
        m_data = std::move(data);
    }
    if (!m_writer.joinable())
        m_writer = std::thread([this] { run(); });
    m_wake.notify_one();
}

void StateFile::flush()
{
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_op == Op::None && !m_busy; });
}

void StateFile::release()
{
    remove();
    flush();
    m_door.reset();
#ifdef Q_OS_UNIX
    if (m_doorFd >= 0) {
        ::unlink(QFile::encodeName(m_socketPath).constData());
        ::close(m_doorFd);
        m_doorFd = -1;
    }
#endif
    if (m_locked)
        m_lock->unlock();
    m_locked = false;
    // The next sitting hears afresh of what it meets.
    m_blocked = false;
    m_failed = false;
    m_untold.reset();
}

void StateFile::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_op != Op::None || m_quit; });
        if (m_op == Op::None)
            return;
        const Op op = std::exchange(m_op, Op::None);
        const QByteArray data = std::exchange(m_data, QByteArray());
        m_busy = true;
        lock.unlock();
        QString error;
        if (op == Op::Write)
            error = writeNow(data);
        else
            removeNow();
        if (!error.isEmpty()) {
            QMetaObject::invokeMethod(
                m_context.get(), [this, error] { fail(Failure::CannotWrite, error); },
                Qt::QueuedConnection);
        }
        lock.lock();
        m_busy = false;
        m_done.notify_all();
    }
}

QString StateFile::writeNow(const QByteArray &data)
{
#ifdef Q_OS_UNIX
    // Only this copy writes here while it holds the lock, so one name beside the file will do;
    // one left by a crash is taken over.
    const QByteArray path = QFile::encodeName(m_path);
    const QByteArray fresh = path + ".new";
    struct stat status = {};
    const bool created = ::lstat(path.constData(), &status) != 0;
    ::unlink(fresh.constData());
    const int fd
        = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return native(m_path) + QStringLiteral(": ") + lastError();
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n
            = ::write(fd, data.constData() + written, std::size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    QString error;
    if (written != data.size() || ::fsync(fd) != 0)
        error = lastError();
    if (::close(fd) != 0 && error.isEmpty())
        error = lastError();
    if (error.isEmpty() && ::rename(fresh.constData(), path.constData()) != 0)
        error = lastError();
    if (!error.isEmpty()) {
        ::unlink(fresh.constData());
        return native(m_path) + QStringLiteral(": ") + error;
    }
    // Later saves replace the name the folder already holds: a power cut then leaves the version
    // before, never no file.
    if (created)
        syncFolder(QFileInfo(m_path).path());
    return QString();
#else
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return native(m_path) + QStringLiteral(": ") + file.errorString();
    return QString();
#endif
}

// A folder or another non-file in the file's place is left alone.
void StateFile::removeNow()
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(m_path);
    struct stat status = {};
    if (::lstat(path.constData(), &status) == 0
        && (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)))
        ::unlink(path.constData());
#else
    QFile::remove(m_path);
#endif
}

void StateFile::fail(Failure failure, const QString &message)
{
    if (m_failed)
        return;
    m_failed = true;
    qWarning("kokugo-mogi: the answers will not survive a crash: %s", qPrintable(message));
    if (m_onFailure)
        m_onFailure(failure, message);
    else
        m_untold = {failure, message};
}

} // namespace platform
