#pragma once
// The start-up sound: a wave file played asynchronously with Qt Multimedia.
#include "platform/sound.h"

#include <memory>

class QSoundEffect;

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
    const Machine& machine_;
    std::unique_ptr<QSoundEffect> effect_; // kept until the next sound replaces it
};

} // namespace zel
