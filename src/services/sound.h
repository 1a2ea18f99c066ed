#pragma once
#include <string>

namespace zel {

class Sound {
public:
    virtual ~Sound() = default;
    // Starts playing a wave file (Windows path) once and returns at once; a file that cannot
    // be played sounds the default beep instead. Never raises.
    virtual void playWave(const std::string& winPath) = 0;
};

} // namespace zel
