#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <future>
#include <memory>

namespace platform {

class SoundBackend;

// The multimedia player control: name a sound file with FileName, then drive it with the
// commands "Open", "Prev" (rewind) and "Play" (play without waiting). It is never visible.
//
// Opening the file that is already open does nothing, so a caller may open it on every timer
// tick. A file that could not be opened is tried again at the next "Open": when it appears, when
// it is replaced after failing to decode, or when an audio output appears after it was loaded
// without one. A missing or unplayable file, or a machine without sound, is reported once on
// standard error and otherwise ignored: the program carries on without sound. So is a sound
// module (see soundbackend.h) that cannot be loaded.
class MciPlayer : public QWidget
{
    Q_OBJECT

public:
    explicit MciPlayer(QWidget *parent = nullptr);
    ~MciPlayer() override;

    void setFileName(const QString &fileName) { m_fileName = fileName; }
    QString fileName() const { return m_fileName; }

    void setCommand(const QString &command);

    // Whether the named file can be read; reports it at once when not, so that a missing chime is
    // noticed when the program starts rather than when the exam ends.
    bool checkFile();

    // Loads the sound module on a worker thread, without making the player, so that the first
    // "Open" does not wait for it and the libraries it pulls in to be linked. Says nothing when it
    // cannot: "Open" tries again and reports it.
    void loadModuleAhead();

    // Whether the named file has been read and decoded.
    bool isOpen() const;

    // How many times a file was really opened (read and decoded), for tests and benchmarks.
    int openCount() const { return m_openCount; }

signals:
    void commandDone(const QString &command);
    // "Play" cannot sound: no file is open, it failed to decode, or there is no audio output.
    void playFailed();

private:
    void open();
    void load();
    bool loadBackend();
    // One warning per file until it opens: the clock opens the file every second.
    void warn(const QString &message);

    QString m_fileName;
    QString m_openFile;
    std::future<void> m_moduleLoading; // waited for when the player goes
    std::unique_ptr<SoundBackend> m_backend;
    bool m_backendTried = false;
    // The loaded file's size and time, to notice when one that failed to decode is replaced.
    qint64 m_loadedSize = -1;
    QDateTime m_loadedTime;
    bool m_loadedWithoutOutput = false;
    bool m_playWaiting = false; // "Play" came while the file was still loading
    int m_openCount = 0;
    QString m_warnedFor;
};

} // namespace platform
