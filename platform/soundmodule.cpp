// The module kokugo-sound: the player control's backend on the toolkit's sound effects.

#include "platform/soundbackend.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include <type_traits>

namespace {

class SoundEffectBackend final : public platform::SoundBackend
{
public:
    void setStatusHandler(std::function<void()> handler) override
    {
        QObject::connect(&m_effect, &QSoundEffect::statusChanged, &m_effect, std::move(handler));
    }

    Status status() const override
    {
        switch (m_effect.status()) {
        case QSoundEffect::Null:
            break;
        case QSoundEffect::Loading:
            return Status::Loading;
        case QSoundEffect::Ready:
            return Status::Ready;
        case QSoundEffect::Error:
            return Status::Error;
        }
        return Status::Null;
    }

    void setSource(const QString &fileName) override
    {
        m_effect.setSource(fileName.isEmpty() ? QUrl() : QUrl::fromLocalFile(fileName));
    }

    void play() override { m_effect.play(); }
    void stop() override { m_effect.stop(); }
    bool hasAudioOutput() const override { return !QMediaDevices::audioOutputs().isEmpty(); }

private:
    QSoundEffect m_effect;
};

} // namespace

extern "C" Q_DECL_EXPORT platform::SoundBackend *kokugo_create_sound_backend()
{
    return new SoundEffectBackend;
}
static_assert(
    std::is_same_v<decltype(&kokugo_create_sound_backend), platform::SoundBackendFactory>);
