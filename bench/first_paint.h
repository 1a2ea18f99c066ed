#pragma once
// Ends a start-up measurement once the watched window has been painted whole (the window and
// its controls): one line goes to the standard output (the measuring parent takes its time
// then) and the process ends there, so that its peak memory is that of the start-up alone, not
// of what a program goes on to do once it is seen (the wizard loads its sound module then).
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <unistd.h>

namespace bench {

class QuitOnFirstPaint : public QObject {
public:
    explicit QuitOnFirstPaint(QWidget& window) : window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!painting_) {
            if (watched == &window_ && event->type() == QEvent::Paint) {
                // The controls are painted next, in the same pass; the first event for anything
                // else marks its end. One is posted, for a program that has nothing else to do.
                painting_ = true;
                QCoreApplication::instance()->installEventFilter(this);
                QCoreApplication::postEvent(this, new QEvent(QEvent::User));
            }
            return false;
        }
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (widget && (widget == &window_ || window_.isAncestorOf(widget)))
            return false;
        static const char line[] = "painted\n";
        [[maybe_unused]] const ssize_t n = ::write(1, line, sizeof line - 1);
        // _exit, not exit() or quit(), which would go on to run the event loop's other work
        // (and the wizard's pages refuse to close).
        ::_exit(0);
    }

private:
    QWidget& window_;
    bool painting_ = false;
};

} // namespace bench
