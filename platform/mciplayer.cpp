#include "platform/mciplayer.h"

#include "platform/soundbackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <utility>

namespace platform {

using Status = SoundBackend::Status;

MciPlayer::MciPlayer(QWidget *parent) : QWidget(parent)
{
    setVisible(false);
}

MciPlayer::~MciPlayer() = default;

void MciPlayer::setCommand(const QString &command)
{
    if (command == u"Open") {
        open();
    } else if (command == u"Prev") {
        m_playWaiting = false;
        if (m_backend)
            m_backend->stop();
    } else if (command == u"Play") {
        const Status status = m_backend ? m_backend->status() : Status::Null;
        if (status != Status::Ready && status != Status::Loading) {
            warn(QStringLiteral("no sound is open to play"));
            emit playFailed();
        } else if (!m_backend->hasAudioOutput()) {
            warn(QStringLiteral("there is no audio output device"));
            emit playFailed();
        } else {
            m_playWaiting = status == Status::Loading;
            m_backend->play();
        }
    } else {
        qWarning("Unknown player command %s", qPrintable(command));
        return;
    }
    emit commandDone(command);
}

bool MciPlayer::isOpen() const
{
    return m_backend && m_fileName == m_openFile && m_backend->status() == Status::Ready;
}

void MciPlayer::open()
{
    if (m_backend && m_fileName == m_openFile) {
        switch (m_backend->status()) {
        case Status::Loading:
            return;
        case Status::Ready:
            if (!m_loadedWithoutOutput || !m_backend->hasAudioOutput())
                return;
            break;
        default:
            break;
        }
    }

    // Not open: a missing file is looked for again at the next "Open", and one that failed to
    // decode is read again only once it has changed, so that a broken file is not decoded (and
    // complained about by the sound library) every second.
    if (!checkFile())
        return;
    const QFileInfo file(m_fileName);
    if (m_backend && m_fileName == m_openFile && m_backend->status() == Status::Error
        && file.size() == m_loadedSize && file.lastModified() == m_loadedTime)
        return;
    m_openFile = m_fileName;
    m_loadedSize = file.size();
    m_loadedTime = file.lastModified();
    load();
}

void MciPlayer::load()
{
    if (!m_backend && !loadBackend())
        return;
    ++m_openCount;
    // The same source again would be taken as no change.
    m_backend->setSource(QString());
    m_loadedWithoutOutput = !m_backend->hasAudioOutput();
    m_backend->setSource(m_openFile);
}

namespace {

QString soundModulePath()
{
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1StringView(SoundModuleFileName);
}

} // namespace

void MciPlayer::loadModuleAhead()
{
    if (m_backendTried || m_moduleLoading.valid())
        return;
    // The module stays loaded when the library object goes, until the program ends.
    m_moduleLoading
        = std::async(std::launch::async, [path = soundModulePath()] { QLibrary(path).load(); });
}

bool MciPlayer::loadBackend()
{
    // Tried once: a module that cannot be loaded will not load a second later either.
    if (std::exchange(m_backendTried, true))
        return false;
    if (m_moduleLoading.valid())
        m_moduleLoading.wait();
    QLibrary module(soundModulePath());
    const auto create
        = reinterpret_cast<SoundBackendFactory>(module.resolve(SoundBackendFactoryName));
    if (!create) {
        warn(QStringLiteral("the sound module cannot be loaded: %1").arg(module.errorString()));
        return false;
    }
    // The module stays loaded when `module` goes: the backend's code lives in it.
    m_backend.reset(create());
    m_backend->setStatusHandler([this] {
        if (m_backend->status() == Status::Ready) {
            m_playWaiting = false;
            m_warnedFor.clear();
        } else if (m_backend->status() == Status::Error) {
            warn(QStringLiteral("%1 is not a playable sound").arg(m_openFile));
            if (std::exchange(m_playWaiting, false))
                emit playFailed();
        }
    });
    return true;
}

bool MciPlayer::checkFile()
{
    if (QFileInfo(m_fileName).isReadable())
        return true;
    warn(QStringLiteral("%1 cannot be read").arg(m_fileName));
    return false;
}

void MciPlayer::warn(const QString &message)
{
    if (m_warnedFor == m_fileName)
        return;
    m_warnedFor = m_fileName;
    qWarning("kokugo-mogi: the chime cannot sound: %s", qPrintable(message));
}

} // namespace platform
