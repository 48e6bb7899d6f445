#include "platform/mciplayer.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include <utility>

namespace platform {

namespace {

bool hasAudioOutput()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

} // namespace

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
        if (m_effect)
            m_effect->stop();
    } else if (command == u"Play") {
        const QSoundEffect::Status status = m_effect ? m_effect->status() : QSoundEffect::Null;
        if (status != QSoundEffect::Ready && status != QSoundEffect::Loading) {
            warn(QStringLiteral("no sound is open to play"));
            emit playFailed();
        } else if (!hasAudioOutput()) {
            warn(QStringLiteral("there is no audio output device"));
            emit playFailed();
        } else {
            m_playWaiting = status == QSoundEffect::Loading;
            m_effect->play();
        }
    } else {
        qWarning("Unknown player command %s", qPrintable(command));
        return;
    }
    emit commandDone(command);
}

bool MciPlayer::isOpen() const
{
    return m_effect && m_fileName == m_openFile && m_effect->status() == QSoundEffect::Ready;
}

void MciPlayer::open()
{
    if (m_effect && m_fileName == m_openFile) {
        switch (m_effect->status()) {
        case QSoundEffect::Loading:
            return;
        case QSoundEffect::Ready:
            if (!m_loadedWithoutOutput || !hasAudioOutput())
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
    if (m_effect && m_fileName == m_openFile && m_effect->status() == QSoundEffect::Error
        && file.size() == m_loadedSize && file.lastModified() == m_loadedTime)
        return;
    m_openFile = m_fileName;
    m_loadedSize = file.size();
    m_loadedTime = file.lastModified();
    load();
}

void MciPlayer::load()
{
    ++m_openCount;
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
            if (m_effect->status() == QSoundEffect::Ready) {
                m_playWaiting = false;
                m_warnedFor.clear();
            } else if (m_effect->status() == QSoundEffect::Error) {
                warn(QStringLiteral("%1 is not a playable sound").arg(m_openFile));
                if (std::exchange(m_playWaiting, false))
                    emit playFailed();
            }
        });
    }
    // The same source again would be taken as no change.
    m_effect->setSource(QUrl());
    m_loadedWithoutOutput = !hasAudioOutput();
    m_effect->setSource(QUrl::fromLocalFile(m_openFile));
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
