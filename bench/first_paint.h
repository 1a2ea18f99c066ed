#pragma once
// Ends a start-up measurement: on the watched window's first paint it writes one line to the
// standard output (the measuring parent takes its time then) and ends the event loop once
// the paint is done.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <unistd.h>

namespace bench {

class QuitOnFirstPaint : public QObject {
public:
    explicit QuitOnFirstPaint(QWidget& window) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            static const char line[] = "painted\n";
            [[maybe_unused]] const ssize_t n = ::write(1, line, sizeof line - 1);
            // exit(), not quit(): quit() first asks every window to close, and the wizard's
            // pages refuse.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};

} // namespace bench
