#pragma once
// The start-up sound: a wave file played asynchronously with Qt Multimedia. The audio back
// end is set up from the event loop, after the caller's window has had its first paint, so
// asking for a sound while the pages are built costs them nothing.
#include "platform/sound.h"

#include <filesystem>
#include <memory>
#include <optional>

class QSoundEffect;
class QTimer;

namespace zel {

class Machine;

class QtSound : public Sound {
public:
    explicit QtSound(const Machine& machine);
    ~QtSound() override;
    QtSound(const QtSound&) = delete;
    QtSound& operator=(const QtSound&) = delete;

    // Returns at once; the sound plays while the caller goes on. A file that is missing or
    // cannot be played, or a machine without audio output, sounds the default beep.
    void playWave(const std::string& winPath) override;

private:
    void startPending() noexcept;

    const Machine& machine_;
    std::optional<std::filesystem::path> pending_; // asked for, not started yet
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<QSoundEffect> effect_; // kept until the next sound replaces it
};

} // namespace zel
