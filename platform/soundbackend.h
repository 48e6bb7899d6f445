#pragma once

#include <QString>

#include <functional>

namespace platform {

// What the player control needs of the sound library. It lives in the module kokugo-sound beside
// the executable, loaded at the first "Open", so that the program starts without the sound
// library and the many libraries it pulls in: the chime is needed only once the clock runs.
class SoundBackend
{
public:
    enum class Status { Null, Loading, Ready, Error };

    virtual ~SoundBackend() = default;

    // Called on every change of status().
    virtual void setStatusHandler(std::function<void()> handler) = 0;
    virtual Status status() const = 0;
    // Starts reading and decoding the file; an empty name leaves no file open.
    virtual void setSource(const QString &fileName) = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual bool hasAudioOutput() const = 0;
};

// The module's one entry point, which the caller owns the result of.
using SoundBackendFactory = SoundBackend *(*)();
inline constexpr char SoundBackendFactoryName[] = "kokugo_create_sound_backend";
// The module's file name, in the executable's folder.
inline constexpr char SoundModuleFileName[] = "kokugo-sound.so";

} // namespace platform
