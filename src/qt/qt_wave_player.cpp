#include "qt/qt_wave_player.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace zel {

QtWavePlayer::QtWavePlayer() = default;

QtWavePlayer::~QtWavePlayer() = default;

void QtWavePlayer::play(const std::filesystem::path& file, std::function<void()> failed) {
    effect_.reset();
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        failed();
        return;
    }
    effect_ = std::make_unique<QSoundEffect>();
    QSoundEffect* effect = effect_.get();
    // Loading is asynchronous; a file that turns out not to be a playable wave fails then.
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, failed] {
        if (effect->status() == QSoundEffect::Error)
            failed();
    });
    effect->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    effect->setLoopCount(1);
    effect->play();
}

} // namespace zel

extern "C" zel::WavePlayer* zel_media_create_player() {
    try {
        return new zel::QtWavePlayer;
    } catch (...) {
        return nullptr;
    }
}
