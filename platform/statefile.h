#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QLockFile;

namespace platform {

// A small file in the user's state folder, $XDG_STATE_HOME/kokugo-mogi (by default
// ~/.local/state/kokugo-mogi), that the program removes when it ends normally. It is written
// whole or not at all, so a crash or a power cut leaves the last complete version. One instance
// of the program at a time holds it, with a lock file beside it; the others keep no state.
class StateFile
{
public:
    StateFile(const QString &fileName, const QString &lockName);
    ~StateFile();

    static QString folder();
    QString filePath() const { return m_path; }

    // Takes the lock, once per run, and says on standard error why not. Without the lock the
    // other operations do nothing.
    bool lock();

    // The file's contents: nothing when there is no file, and at most `maxSize` + 1 bytes, so
    // that a larger file shows as too large. What cannot be read comes back empty.
    std::optional<QByteArray> read(qsizetype maxSize) const;

    // A file that cannot be written is reported once; the program goes on without it.
    void write(const QByteArray &data);

    void remove();

private:
    void warnOnce(const QString &message);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_tried = false;
    bool m_locked = false;
    bool m_warned = false;
};

} // namespace platform
