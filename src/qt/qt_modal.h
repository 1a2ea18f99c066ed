#pragma once
// A Qt dialog as the user-interface services show it modally (services/ui.h knows no Qt type).
#include "services/ui.h"

#include <QApplication>
#include <QDialog>
#include <QWindow>

namespace zel {

// exec() ties the dialog to the window that opens it, so the window system keeps it above that
// window even when that one stays on top of other windows and the dialog does not, and runs the
// dialog's own event loop. A dialog rejected or closed by its close box gives 2.
class QtModalDialog : public ModalWindow {
public:
    explicit QtModalDialog(QDialog& dialog) : dialog_(dialog) {}
    int exec() override {
        if (QWidget* opener = QApplication::activeWindow(); opener && opener != &dialog_) {
            dialog_.winId();
            opener->winId();
            if (QWindow* window = dialog_.windowHandle())
                window->setTransientParent(opener->windowHandle());
        }
        return dialog_.exec();
    }
    QDialog& dialog() const { return dialog_; }

private:
    QDialog& dialog_;
};

} // namespace zel
