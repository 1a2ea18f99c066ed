#pragma once
// The start-up sound: a wave file played asynchronously by the sound module (Qt Multimedia).
// The module is loaded and the audio back end set up from the event loop once a window has
// had its first paint (or after half a second where none is painted), so asking for a sound
// while the pages are built costs them nothing and the program does not load Qt Multimedia
// before the pages are on the screen.
#include "qt/qt_modules.h"
#include "services/sound.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class QObject;
class QTimer;

namespace zel {

class Machine;
class WavePlayer;

class QtSound : public Sound {
public:
    // `module` names the sound module (see moduleFunction).
    explicit QtSound(const Machine& machine, std::string module = kMediaModule);
    ~QtSound() override;
    QtSound(const QtSound&) = delete;
    QtSound& operator=(const QtSound&) = delete;

    // Returns at once; the sound plays while the caller goes on. A file that is missing or
    // cannot be played, a machine without audio output or a missing sound module sounds the
    // default beep.
    void playWave(const std::string& winPath) override;

    // How many beeps stood in for a sound.
    int beeps() const { return beeps_; }

private:
    void startPending() noexcept;
    void beep() noexcept;

    const Machine& machine_;
    std::string module_;
    std::optional<std::filesystem::path> pending_; // asked for, not started yet
    std::unique_ptr<QObject> paintWatch_;          // until the first paint after a request
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<WavePlayer> player_;
    bool painted_ = false;       // a window has been painted since the first request
    bool moduleMissing_ = false; // reported once, not looked for again
    int beeps_ = 0;
};

} // namespace zel
