#include "platform/qt_sound.h"

#include "platform/machine.h"

#include <QApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace zel {

QtSound::QtSound(const Machine& machine) : machine_(machine) {}

QtSound::~QtSound() = default;

void QtSound::playWave(const std::string& winPath) {
    if (winPath.empty())
        return;
    try {
        effect_.reset();
        pending_.reset();
        const auto host = machine_.toHost(winPath);
        std::error_code ec;
        if (!host || !std::filesystem::is_regular_file(*host, ec)) {
            QApplication::beep();
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
        QApplication::beep();
    }
}

void QtSound::startPending() noexcept {
    if (!pending_)
        return;
    try {
        const std::filesystem::path host = std::move(*pending_);
        pending_.reset();
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            QApplication::beep();
            return;
        }
        effect_ = std::make_unique<QSoundEffect>();
        QSoundEffect* effect = effect_.get();
        // Loading is asynchronous; a file that turns out not to be a playable wave beeps then.
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
            if (effect->status() == QSoundEffect::Error)
                QApplication::beep();
        });
        effect->setSource(QUrl::fromLocalFile(QString::fromStdString(host.string())));
        effect->setLoopCount(1);
        effect->play();
    } catch (...) {
        QApplication::beep();
    }
}

} // namespace zel
