#include "tests/support/doubles.h"

#include "qt/qt_modal.h"
#include "winemu/errors.h"

#include <QCoreApplication>
#include <QDialog>
#include <gtest/gtest.h>

namespace zel {

namespace {

// The next queued answer, or `otherwise` when none is queued.
template <class T> T next(std::deque<T>& queue, T otherwise) {
    if (queue.empty())
        return otherwise;
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

} // namespace

ModalResult ScriptedUi::messageBox(const std::string& text, const std::string& caption,
                                   MsgButtons buttons, MsgIcon icon) {
    ModalResult result = next(messageAnswers, ModalResult::Confirm);
    if (buttons == MsgButtons::Ok)
        result = ModalResult::Confirm; // a queued answer is still used up
    boxes.push_back({text, caption, buttons, icon});
    return result;
}

ModalResult ScriptedUi::showModal(ModalWindow& window) {
    auto* modal = dynamic_cast<QtModalDialog*>(&window);
    if (!modal)
        return ModalResult::Other;
    QDialog& dialog = modal->dialog();
    // Taken before the dialog runs: a modal page it opens gets the answers in the queued order.
    const ModalAnswer answer = next(modalAnswers, ModalAnswer());
    dialog.setResult(0);
    dialog.show();
    bool closedByDialog = false;
    const auto connection =
        QObject::connect(&dialog, &QDialog::finished, [&closedByDialog] { closedByDialog = true; });
    const ModalResult answered = answer ? answer(dialog) : ModalResult::Other;
    QObject::disconnect(connection);
    EXPECT_TRUE(closedByDialog || answered != kEndedByItsButton) << "a button left it open";
    if (!closedByDialog)
        dialog.done(static_cast<int>(answered));
    dialog.hide();
    modals.push_back(modalResultOf(dialog.result()));
    return modals.back();
}

void ScriptedUi::processEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

bool RecordingPrinter::choosePrinter() {
    ++chooseCount;
    return next(chooseAnswers, true);
}

void RecordingPrinter::setFont(const std::string& face, int points, FontStyle style) {
    points_ = points;
    note("font " + face + " " + std::to_string(points) + (style.underline ? " u" : "") +
         (style.bold ? " b" : "") + (style.italic ? " i" : ""));
}

void RecordingPrinter::note(const std::string& call) {
    if (!failAt.empty() && call.starts_with(failAt))
        throw PlatformError("printer on fire");
    calls.push_back(call);
}

} // namespace zel
