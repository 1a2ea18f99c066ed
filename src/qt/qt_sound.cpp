#include "qt/qt_sound.h"

#include "qt/wave_player.h"
#include "winemu/machine.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <functional>
#include <utility>

namespace zel {

namespace {

// Calls back on the first paint of any widget of the application.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<void()> painted) : painted_(std::move(painted)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && painted_) {
            qApp->removeEventFilter(this);
            std::exchange(painted_, nullptr)();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> painted_;
};

// Where no window is painted, the sound still plays after this long.
constexpr int kUnpaintedDelayMs = 500;

} // namespace

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
            timer_ = std::make_unique<QTimer>();
            timer_->setSingleShot(true);
            QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(),
                             [this] { startPending(); });
        }
        if (painted_) {
            timer_->start(0);
        } else {
            timer_->start(kUnpaintedDelayMs);
            if (!paintWatch_ && qApp) {
                // Windows shown together are painted in one go, before any timer runs: a
                // zero-time timer started at the first paint fires once they all are.
                paintWatch_ = std::make_unique<FirstPaint>([this] {
                    painted_ = true;
                    if (pending_)
                        timer_->start(0);
                });
            }
        }
    } catch (...) {
        beep();
    }
}

void QtSound::startPending() noexcept {
    if (!pending_)
        return;
    try {
        timer_->stop();
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
