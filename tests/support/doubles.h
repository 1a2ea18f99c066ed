#pragma once
// The one double of each service: answers queued, calls recorded, nothing blocks or quits.
#include "services/printer.h"
#include "services/sound.h"
#include "services/ui.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QDialog;

namespace zel {

class ScriptedUi : public UiServices {
public:
    struct Box {
        std::string text, caption; // code page 1252, as passed
        MsgButtons buttons;
        MsgIcon icon;
    };
    using ModalAnswer = std::function<ModalResult(QDialog&)>;
    // What an answer gives once it has clicked a button of the dialog, which must have ended it.
    static constexpr auto kEndedByItsButton = static_cast<ModalResult>(0);

    // The next queued answer (Confirm when none); a box with only "OK" answers Confirm.
    ModalResult messageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                           MsgIcon icon = MsgIcon::None) override;
    // Shown without a nested loop; its own buttons or the next queued answer (else Other) end it.
    ModalResult showModal(ModalWindow& window) override;
    void setBusyCursor(bool busy) override { cursorHistory.push_back(busy); }
    void processEvents() override; // when an application object exists
    void minimise() override { calls.push_back("minimise"); }
    void restore() override { calls.push_back("restore"); }
    void quit() override { quitRequested_ = true; }
    bool quitRequested() const override { return quitRequested_; }
    void reportError(const std::string& message) override { errors.push_back(message); }

    void answerMessage(ModalResult result) { messageAnswers.push_back(result); }
    void answerModal(ModalAnswer answer) { modalAnswers.push_back(std::move(answer)); }
    bool busy() const { return !cursorHistory.empty() && cursorHistory.back(); }

    std::deque<ModalResult> messageAnswers;
    std::deque<ModalAnswer> modalAnswers;
    std::vector<Box> boxes;
    std::vector<ModalResult> modals; // what each modal page ended with
    std::vector<bool> cursorHistory; // every setBusyCursor call, in order
    std::vector<std::string> errors; // messages given to the error report (without the ".")
    std::vector<std::string> calls;  // "minimise" and "restore", in order

private:
    bool quitRequested_ = false;
};

// Plays nothing; remembers what it was asked to play.
class RecordingSound : public Sound {
public:
    void playWave(const std::string& winPath) override { played.push_back(winPath); }
    std::vector<std::string> played;
};

// Records each call ("text 0,0 ..."), a line ten times its font's size; failAt's call raises.
class RecordingPrinter : public Printer {
public:
    bool choosePrinter() override;
    void beginDocument() override { note("begin"); }
    void newPage() override { note("newPage"); }
    void setFont(const std::string& face, int points, FontStyle style) override;
    void textOut(int x, int y, const std::string& text) override {
        note("text " + std::to_string(x) + "," + std::to_string(y) + " " + text);
    }
    int textHeight(const std::string&) override { return points_ * 10; }
    void endDocument() override { note("end"); }
    void abortDocument() override { calls.push_back("abort"); }

    std::deque<bool> chooseAnswers;
    int chooseCount = 0;
    std::vector<std::string> calls;
    std::string failAt;

private:
    void note(const std::string& call);
    int points_ = 0;
};

} // namespace zel
