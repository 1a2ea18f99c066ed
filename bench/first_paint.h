#pragma once
// Ends a start-up measurement at the watched window's first paint: the window paints, one line
// goes to the standard output (the measuring parent takes its time then) and the process ends
// there, so that its peak memory is that of the start-up alone, not of what a program goes on
// to do once it is seen (the wizard loads its sound module then).
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <unistd.h>

namespace bench {

class QuitOnFirstPaint : public QObject {
public:
    explicit QuitOnFirstPaint(QWidget& window) : window_(window) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_ || event->type() != QEvent::Paint)
            return QObject::eventFilter(watched, event);
        // The paint itself, delivered from here, then the end: _exit, not exit() or quit(),
        // which would go on to run the event loop's other work (and the wizard's pages refuse
        // to close).
        window_.removeEventFilter(this);
        static_cast<QObject&>(window_).event(event);
        static const char line[] = "painted\n";
        [[maybe_unused]] const ssize_t n = ::write(1, line, sizeof line - 1);
        ::_exit(0);
    }

private:
    QWidget& window_;
};

} // namespace bench
