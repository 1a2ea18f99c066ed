#pragma once
// Whole runs of the wizard: the demo kit copied as the medium (the program as SETUP beside
// SETUP.INI), a fresh machine, Program Manager started on demand by the wizard and awaited
// afterwards, and the checks that read the machine once the wizard has ended.
#include "tests/support/gui_wizard_fixture.h"

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QAbstractButton;
class QWidget;

namespace zel::test {

// An item and a group as `progman --list --json` shows them (texts in UTF-8).
struct ProgmanItem {
    std::string command;
    std::string name;
    std::string icon;
    bool operator==(const ProgmanItem&) const = default;
};
struct ProgmanGroup {
    std::string name;
    std::vector<ProgmanItem> items;
};
void PrintTo(const ProgmanItem& item, std::ostream* out);

class EndToEndTest : public WizardTest {
protected:
    void SetUp() override;
    // Waits for Program Manager to leave. With $ZEL_E2E_KEEP set, the machine and the medium
    // are copied to $ZEL_E2E_KEEP/<test name>/ first.
    void TearDown() override;

    // Puts a copy of the demo kit on the medium, every file dated kitTime().
    void copyDemoKit();
    // The date every file of the copied kit carries: far enough back that a copy which did
    // not keep it shows.
    static fs::file_time_type kitTime();

    // Clicks a button and lets the events it queued run.
    void click(QAbstractButton* button);
    // The object name of the one page on screen ("" when none or more than one).
    QString currentPage() const;

    // Saves the page as the user sees it (caption bar and client area, 8-bit palette PNG)
    // under $ZEL_SCREENSHOTS/<name>.png; nothing when that variable is not set.
    void screenshot(QWidget& page, const std::string& name);

    // Program Manager's groups, through `progman --list --json` on this machine.
    std::vector<ProgmanGroup> progmanGroups();
    const ProgmanGroup* findGroup(const std::vector<ProgmanGroup>& groups, std::string_view name);
    // Waits for this machine's Program Manager to leave after its idle time; kills it (and
    // answers false) when it is still there after several seconds.
    bool awaitProgmanGone();
    // The file's text once it is not empty, waiting up to a few seconds (a detached program
    // writes it); "" when it never appears.
    std::string awaitFile(const fs::path& path);

    // The host file behind a Windows path.
    fs::path host(std::string_view winPath);
    // The same bytes, and the copy's date equal to the source's within two seconds.
    void expectCopied(const fs::path& source, const fs::path& copy);
    // A value of a profile file given by its Windows path ("(none)" when missing).
    std::string profileValue(std::string_view winPath, std::string_view section,
                             std::string_view key);
    // A string value of HKEY_LOCAL_MACHINE: "(no key)" or "(no value)" when missing.
    std::string registryValue(std::string_view key, std::string_view name);
};

} // namespace zel::test
