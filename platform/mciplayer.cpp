#include "platform/mciplayer.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace platform {

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
        if (m_effect)
            m_effect->stop();
    } else if (command == u"Play") {
        if (!m_effect || m_openFile.isEmpty()) {
            warn(QStringLiteral("no sound is open to play"));
        } else {
            if (QMediaDevices::audioOutputs().isEmpty())
                warn(QStringLiteral("there is no audio output device"));
            m_effect->play();
        }
    } else {
        qWarning("Unknown player command %s", qPrintable(command));
        return;
    }
    emit commandDone(command);
}

void MciPlayer::open()
{
    if (m_effect && m_fileName == m_openFile)
        return;

    m_openFile = m_fileName;
    ++m_openCount;
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
            if (m_effect->status() == QSoundEffect::Error)
                warn(QStringLiteral("%1 is not a playable sound").arg(m_openFile));
        });
    }
    checkFile();
    m_effect->setSource(QUrl::fromLocalFile(m_openFile));
}

void MciPlayer::checkFile()
{
    if (!QFileInfo(m_fileName).isReadable())
        warn(QStringLiteral("%1 cannot be read").arg(m_fileName));
}

void MciPlayer::warn(const QString &message)
{
    if (m_warnedFor == m_fileName)
        return;
    m_warnedFor = m_fileName;
    qWarning("kokugo-mogi: the chime cannot sound: %s", qPrintable(message));
}

} // namespace platform
