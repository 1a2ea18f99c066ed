#include "platform/qt_sound.h"

#include "platform/machine.h"
#include "platform/wave_player.h"

#include <QApplication>
#include <QTimer>

#include <utility>

namespace zel {

QtSound::QtSound(const Machine& machine, std::string module)
    : machine_(machine), module_(std::move(module)) {}

QtSound::~QtSound() = default;

void QtSound::playWave(const std::string& winPath) {
    if (winPath.empty())
        return;
    try {
        pending_.reset();
        const auto host = machine_.toHost(winPath);
        std::error_code ec;
        if (!host || !std::filesystem::is_regular_file(*host, ec)) {
            beep();
            return;
        }
        pending_ = *host;
        if (!timer_) {
            // A real zero-time timer, not a queued call: it fires once the event loop has
            // dealt with what is already waiting, the first paint included.
            timer_ = std::make_unique<QTimer>();
            timer_->setSingleShot(true);
            timer_->setInterval(0);
            QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(),
                             [this] { startPending(); });
        }
        timer_->start();
    } catch (...) {
        beep();
    }
}

void QtSound::startPending() noexcept {
    if (!pending_)
        return;
    try {
        const std::filesystem::path host = std::move(*pending_);
        pending_.reset();
        if (!player_ && !moduleMissing_) {
            std::string error;
            using Create = WavePlayer* (*)();
            if (auto create = reinterpret_cast<Create>(
                    moduleFunction(module_, "zel_media_create_player", error)))
                player_.reset(create());
            else {
                moduleMissing_ = true;
                qWarning("No sound: %s", error.c_str());
            }
        }
        if (!player_) {
            beep();
            return;
        }
        player_->play(host, [this] { beep(); });
    } catch (...) {
        beep();
    }
}

void QtSound::beep() noexcept {
    ++beeps_;
    QApplication::beep();
}

} // namespace zel
