#pragma once
// The copy page: checks the space, prepares the machine and copies the selected programs.
#include "pages/PageWindow.h"
#include "setup/choices.h"
#include "ui_CopyPage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

class Catalogue;

// The drive of a destination for the free-space query: its first letter (either case) as
// 1 for A, 2 for B..., 0 (the current drive) for "@"; any other first character gives a
// number no drive has.
int destinationDrive(std::string_view destino);

// The disk-space check of the copy page. Needed are the kbytes of the selected entries 1 to 10
// and of the chosen browser; free are the platform's
// free bytes in whole kbytes (-1, an unknown drive, counts as 0; more than a 32-bit count
// holds counts as its largest value). Nothing when the space suffices, otherwise the question
// to put to the user (code page 1252).
std::optional<std::string> spaceQuestion(const Catalogue& catalogue, Browser browser,
                                         std::int64_t freeBytes);

} // namespace zel

class CopyPage : public PageWindow {
    Q_OBJECT

public:
    // Installs what the choices say, from the catalogue.
    CopyPage(zel::Platform& platform, const zel::Catalogue& catalogue, const zel::Choices& choices);

    Ui::CopyPage ui;

    // Checks the space, prepares the machine, copies the programs and configures the dialer;
    // moves on once all of it succeeded.
    void next();
    void requestExit() { emit exitRequested(); }
    void back() { emit backRequested(); }

private:
    // Back to the page as it stood before "Seguir >": only the text, the picture and the buttons.
    void showIdle();
    void setButtonsEnabled(bool enabled);

    const zel::Catalogue& catalogue_;
    const zel::Choices& choices_;
};
