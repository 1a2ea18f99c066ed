#pragma once
// The sound module's player, on Qt Multimedia.
#include "qt/wave_player.h"

#include <memory>

class QSoundEffect;

namespace zel {

class QtWavePlayer : public WavePlayer {
public:
    QtWavePlayer();
    ~QtWavePlayer() override;
    QtWavePlayer(const QtWavePlayer&) = delete;
    QtWavePlayer& operator=(const QtWavePlayer&) = delete;

    void play(const std::filesystem::path& file, std::function<void()> failed) override;

private:
    std::unique_ptr<QSoundEffect> effect_; // kept until the next sound replaces it
};

} // namespace zel

// The module's entry point: a new player, owned by the caller.
extern "C" zel::WavePlayer* zel_media_create_player();
