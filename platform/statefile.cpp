#include "platform/statefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// A new file's name lives in its folder: until the folder reaches the disk, a power cut can take
// the file away with it, however well its contents were written.
void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

} // namespace

StateFile::StateFile(const QString &fileName, const QString &lockName)
    : m_path(folder() + u'/' + fileName), m_lock(new QLockFile(folder() + u'/' + lockName))
{
    // A lock left by a crash is taken over once its process is gone. Qt also holds an flock on
    // the lock file, so a live holder keeps it however old it is, and the default stale time
    // only frees a lock file left empty by a power cut.
}

StateFile::~StateFile() = default;

QString StateFile::folder()
{
    // Only an absolute XDG_STATE_HOME counts; a relative one is ignored, as desktops do.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/kokugo-mogi"));
}

bool StateFile::lock()
{
    if (m_tried)
        return m_locked;
    m_tried = true;
    const QString where = QFileInfo(m_path).path();
    if (!QDir().mkpath(where)) {
        warnOnce(QStringLiteral("cannot create %1").arg(where));
        return false;
    }
    m_locked = m_lock->tryLock(0);
    if (m_locked)
        return true;
    if (m_lock->error() == QLockFile::LockFailedError) {
        qWarning("kokugo-mogi: another kokugo-mogi is running (it holds %s); this one will not "
                 "save its answers",
                 qPrintable(QDir::toNativeSeparators(m_lock->fileName())));
    } else {
        warnOnce(QStringLiteral("cannot write in %1").arg(where));
    }
    return false;
}

std::optional<QByteArray> StateFile::read(qsizetype maxSize) const
{
    const QFileInfo info(m_path);
    if (!m_locked || (!info.exists() && !info.isSymLink()))
        return std::nullopt;
    // Only a plain file: a pipe or a device put in its place could block or never end.
    QFile file(m_path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(maxSize + 1);
}

void StateFile::write(const QByteArray &data)
{
    if (!m_locked)
        return;
    const bool created = !QFileInfo::exists(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        warnOnce(m_path + QStringLiteral(": ") + file.errorString());
        return;
    }
    // Later saves replace the name the folder already holds: a power cut then leaves the version
    // before, never no file.
    if (created)
        syncFolder(QFileInfo(m_path).path());
}

void StateFile::remove()
{
    if (m_locked)
        QFile::remove(m_path);
}

void StateFile::warnOnce(const QString &message)
{
    if (m_warned)
        return;
    m_warned = true;
    qWarning("kokugo-mogi: the answers will not survive a crash: %s",
             qPrintable(QDir::toNativeSeparators(message)));
}

} // namespace platform
