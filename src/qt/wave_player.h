#pragma once
// What the sound module offers: plays wave files on the machine's audio output.
#include <filesystem>
#include <functional>

namespace zel {

class WavePlayer {
public:
    virtual ~WavePlayer() = default;
    // Starts playing `file` once, replacing the sound before it, and returns at once. When the
    // file cannot be played, now or once it has been read, `failed` is called instead.
    virtual void play(const std::filesystem::path& file, std::function<void()> failed) = 0;
};

} // namespace zel
