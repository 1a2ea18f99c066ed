// The whole wizard on a copy of the demo kit and a fresh machine, page by page through its own
// buttons; then what the machine holds: files and dates, settings files, the registry, Program
// Manager's groups (started by the wizard itself and left to leave on its own), the browser
// setup and the printout. $ZEL_SCREENSHOTS gets a picture of each page of the custom
// installation (scripts/screenshots); $ZEL_E2E_KEEP/<test name>/ the machine and medium a run left.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"
#include "pages/FaxNoticeDialog.h"
#include "pages/FinishPage.h"
#include "pages/InstallTypePage.h"
#include "pages/LicencePage.h"
#include "pages/ModemPage.h"
#include "pages/RegistrationPage.h"
#include "pages/WelcomePage.h"
#include "qt/qt_radiogroup.h"
#include "setup/finish.h"
#include "winemu/profile.h"
#include "winemu/registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <thread>

namespace zel::test {
namespace {

constexpr const char* kModemKey = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";

// The demo kit's programs as its SETUP.INI describes them.
struct KitProgram {
    int entry;
    const char* folder;
    bool ownFolder;
    std::vector<const char*> files, systemFiles;
};
const KitProgram kKitPrograms[] = {
    {1, "TRUMPET", true, {"TCPMAN.EXE", "TRUMPWSK.INI", "WINSOCK.DLL", "HOSTS", "LEIAME.TXT"}, {}},
    {2, "BBS", true, {"ZEL.HT", "LEIAME.TXT"}, {}},
    {3, "CORREIO", true, {"CORREIO.EXE", "CORREIO.HLP"}, {"MAILAPI.DLL", "MIMEUTIL.DLL"}},
    {4, "NOTICIAS", false, {"NOTICIAS.EXE", "NOTICIAS.INI"}, {}},
    {5, "FTP", true, {"FTPZEL.EXE", "FTPZEL.HLP"}, {}},
    {6, "IRC", true, {"BATEPAPO.EXE", "SERVIDOR.TXT"}, {}},
};

// What one run should have left on the machine.
struct Expected {
    std::string destino;                     // with its trailing "\"
    std::set<int> entries;                   // the kit's programs installed
    std::string slipPort, modemSetup, phone; // the dialer's settings when entry 1 is installed
    std::string browserSetup;                // the tag the browser setup leaves, "" for none
};

// Types the text one key at a time, accents included (QTest's key clicks know only ASCII).
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

class DemoKitTest : public WizardTest {
protected:
    void SetUp() override {
        // Program Manager leaves soon after the wizard's last conversation ends.
        ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
        WizardTest::SetUp();
        fs::copy(sourceDir() / "kit", medium(), fs::copy_options::recursive);
        fs::remove(medium() / "README.md");
        fs::remove(medium() / ".gitattributes");
        // Every file dated far back, so that a copy which does not keep the date shows.
        const auto kitTime = fs::file_time_type::clock::now() - std::chrono::hours(24 * 9000);
        for (const auto& entry : fs::recursive_directory_iterator(medium()))
            if (entry.is_regular_file())
                fs::last_write_time(entry.path(), kitTime);
    }

    void TearDown() override {
        WizardTest::TearDown(); // ends the conversation; the server then leaves by itself
        EXPECT_TRUE(awaitProgmanGone()) << "Program Manager did not leave after its idle time";
        ::unsetenv("ZEL_PROGMAN_IDLE");
        if (const char* keep = std::getenv("ZEL_E2E_KEEP"); keep != nullptr && *keep != '\0') {
            const fs::path to =
                fs::path(keep) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
            std::error_code ec;
            fs::remove_all(to, ec);
            fs::create_directories(to, ec);
            fs::copy(prefix, to / "prefix",
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
            fs::copy(medium(), to / "medium", fs::copy_options::recursive, ec);
            EXPECT_FALSE(ec) << "cannot keep the machine in " << to << ": " << ec.message();
        }
    }

    // Clicks a button the user can click, and lets the events it queued run.
    void click(QAbstractButton* button) {
        ASSERT_TRUE(button->isVisible() && button->isEnabled())
            << button->objectName().toStdString() << " cannot be clicked";
        button->click();
        QApplication::processEvents();
    }
    QString currentPage() const {
        const QStringList pages = visiblePages();
        return pages.size() == 1 ? pages.front() : QString();
    }

    // The page as the user sees it (caption bar and client area, 8-bit palette PNG).
    void screenshot(QWidget& page, const std::string& name) {
        const char* dir = std::getenv("ZEL_SCREENSHOTS");
        if (dir == nullptr || *dir == '\0')
            return;
        QApplication::processEvents();
        const QImage client = page.grab().toImage();
        constexpr int kFrame = 3, kCaption = 18; // the grey frame and the caption bar of the era
        QImage shot(client.width() + 2 * kFrame, client.height() + 2 * kFrame + kCaption,
                    QImage::Format_RGB32);
        shot.fill(QColor(0xc0, 0xc0, 0xc0));
        QPainter painter(&shot);
        painter.setPen(QColor(0xff, 0xff, 0xff));
        painter.drawLine(1, 1, shot.width() - 3, 1);
        painter.drawLine(1, 1, 1, shot.height() - 3);
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawLine(1, shot.height() - 2, shot.width() - 2, shot.height() - 2);
        painter.drawLine(shot.width() - 2, 1, shot.width() - 2, shot.height() - 2);
        painter.setPen(QColor(0, 0, 0));
        painter.drawLine(0, shot.height() - 1, shot.width() - 1, shot.height() - 1);
        painter.drawLine(shot.width() - 1, 0, shot.width() - 1, shot.height() - 1);
        const QRect caption(kFrame, kFrame, client.width(), kCaption);
        painter.fillRect(caption, QColor(0, 0, 0x80));
        QFont font = page.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(caption.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         page.windowTitle());
        painter.drawImage(kFrame, kFrame + kCaption, client);
        painter.end();
        const fs::path file = fs::path(dir) / (name + ".png");
        fs::create_directories(file.parent_path());
        const QImage indexed = shot.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        EXPECT_TRUE(indexed.save(QString::fromStdString(file.string()), "PNG", 9)) << file;
    }

    // Program Manager's groups through `progman --list --json`: "command | name | icon" items.
    std::map<std::string, std::vector<std::string>> progmanGroups() {
        const CommandResult listed =
            runCommand("ZEL_PREFIX='" + prefix.string() + "' '" + (binDir() / "progman").string() +
                       "' --list --json");
        EXPECT_EQ(listed.status, 0) << listed.output;
        std::map<std::string, std::vector<std::string>> groups;
        const auto json = nlohmann::json::parse(listed.output);
        for (const auto& g : json.at("groups")) {
            auto& items = groups[g.at("name").get<std::string>()];
            for (const auto& i : g.at("items"))
                items.push_back(i.at("command").get<std::string>() + " | " +
                                i.at("name").get<std::string>() + " | " +
                                i.at("icon").get<std::string>());
        }
        return groups;
    }
    // Waits for the server named in the lock file to leave; kills it after several seconds.
    bool awaitProgmanGone() {
        const std::string text = readFile(prefix / "progman.lock");
        if (text.empty())
            return true;
        const auto pid = static_cast<pid_t>(std::stol(text));
        for (int i = 0; i < 800; ++i) {
            // A process adopted by an init that does not reap it has left all the same.
            const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
            const auto paren = stat.rfind(')');
            if (stat.empty() || (paren != std::string::npos && stat.substr(paren + 2, 1) == "Z"))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        return false;
    }
    // The file's text once a detached program has written it ("" when it never appears).
    std::string awaitFile(const fs::path& path) {
        std::string text;
        for (int i = 0; i < 500 && (text = readFile(path)).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return text;
    }
    fs::path host(std::string_view winPath) { return machine().toHost(winPath).value_or(""); }
    // The same bytes, and the source's date within two seconds.
    void expectCopied(const fs::path& source, const fs::path& copy) {
        ASSERT_TRUE(fs::is_regular_file(copy)) << copy << " is missing";
        EXPECT_EQ(readFile(copy), readFile(source)) << copy;
        EXPECT_LE(std::chrono::abs(fs::last_write_time(copy) - fs::last_write_time(source)),
                  std::chrono::seconds(2))
            << copy << " does not keep the date of " << source;
    }
    std::string profileValue(std::string_view winPath, std::string_view section,
                             std::string_view key) {
        return ProfileFile(machine(), std::string(winPath)).readText(section, key, "(none)");
    }
    std::string registryValue(std::string_view name) {
        Registry registry(machine().registryFile());
        if (!registry.openKey(kUninstallKey, false))
            return "(no key)";
        return registry.valueExists(name) ? registry.readString(name) : "(no value)";
    }

    // Welcome, licence and registration, to the installation type. A subscriber fills the form
    // in, confirms the notice and the print dialog.
    void throughRegistration(bool subscriber) {
        Wizard& w = *wizard;
        ASSERT_EQ(currentPage(), "WelcomePage");
        screenshot(*w.welcomePage, "01-welcome");
        click(w.welcomePage->ui.nextButton);
        ASSERT_EQ(currentPage(), "LicencePage");
        screenshot(*w.licencePage, "02-licence");
        click(w.licencePage->ui.nextButton);
        ASSERT_EQ(currentPage(), "RegistrationPage");
        const auto& form = w.registrationPage->ui;
        if (subscriber) {
            type(form.nameEdit, QStringLiteral("Maria da Conceição"));
            type(form.streetEdit, QStringLiteral("Rua das Flores"));
            type(form.numberEdit, QStringLiteral("12"));
            type(form.cityEdit, QStringLiteral("São Paulo"));
            type(form.stateEdit, QStringLiteral("SP"));
            type(form.officePhoneEdit, QStringLiteral("(011) 555-0123"));
            form.cardBrandBox->setFocus(); // the brand picked with the arrow keys
            QTest::keyClick(form.cardBrandBox, Qt::Key_Down);
            QTest::keyClick(form.cardBrandBox, Qt::Key_Down);
            type(form.cardNumberEdit, QStringLiteral("5555 4444 3333 2222"));
            type(form.cardExpiryEdit, QStringLiteral("12/99"));
            screenshot(*w.registrationPage, "03-registration");
            ui.answerModal([this](QDialog& dialog) {
                auto& notice = static_cast<FaxNoticeDialog&>(dialog);
                screenshot(notice, "04-notice");
                notice.ui.okButton->click();
                return ModalResult::Other; // ignored: the click has ended the dialog
            });
        }
        click(form.nextButton);
        ASSERT_EQ(currentPage(), "InstallTypePage");
        screenshot(*w.installTypePage, "05-installation-type");
        EXPECT_EQ(ui.modals.size(), subscriber ? 1u : 0u);
        EXPECT_EQ(printer.chooseCount, subscriber ? 1 : 0);
    }

    // The copy page's "Seguir >", then the finish page's "Finalizar", which ends the wizard.
    void copyAndFinish() {
        ASSERT_EQ(currentPage(), "CopyPage");
        screenshot(*wizard->copyPage, "09-copy");
        click(wizard->copyPage->ui.nextButton);
        ASSERT_EQ(currentPage(), "FinishPage") << ::testing::PrintToString(ui.errors);
        screenshot(*wizard->finishPage, "10-finish");
        click(wizard->finishPage->ui.finishButton);
        EXPECT_EQ(ui.errors, std::vector<std::string>{});
        EXPECT_TRUE(ui.quitRequested());
        EXPECT_FALSE(ui.busy());
    }

    void expectMachine(const Expected& e) {
        const std::string& d = e.destino;
        // The programs' files with their dates, and nothing of the programs left out.
        for (const KitProgram& program : kKitPrograms) {
            const std::string target =
                d + (program.ownFolder ? program.folder + std::string("\\") : "");
            const bool installed = e.entries.count(program.entry) > 0;
            const auto check = [&](const fs::path& copy, const char* file) {
                if (!installed)
                    EXPECT_FALSE(fs::exists(copy)) << copy;
                else if (std::string_view(file) != "TRUMPWSK.INI") // rewritten: keys below
                    expectCopied(medium() / program.folder / file, copy);
            };
            for (const char* file : program.files)
                check(host(target + file), file);
            for (const char* file : program.systemFiles)
                check(host(std::string("C:\\WINDOWS\\SYSTEM\\") + file), file);
        }
        for (const char* file : {"ZELUPD.EXE", "ZELGRP.ICO", "ZELNET.ICO", "ZELBBS.ICO"})
            expectCopied(medium() / "UPDATE" / file, host(d + file));
        expectCopied(medium() / "UNINST" / "ZELUN.EXE", host("C:\\WINDOWS\\zelun.exe"));

        // The update program's settings, the uninstall log and registration.
        EXPECT_EQ(profileValue(d + "ZELUPD.INI", "ZEL", "homepage"), "http://www.zel.com.br/");
        EXPECT_EQ(profileValue(d + "ZELUPD.INI", "ZEL", "searchpage"),
                  "http://www.zel.com.br/busca/");
        EXPECT_EQ(profileValue(d + "ZELUPD.INI", "ZEL", "grupo"), "ZEL Internet");
        EXPECT_EQ(profileValue("C:\\WINDOWS\\zelun.ini", "ZEL", "dir"), d);
        EXPECT_EQ(registryValue("DisplayName"), "ZEL Internet");
        EXPECT_EQ(registryValue("UninstallString"), "C:\\WINDOWS\\zelun.exe");

        // The dial-up stack: its settings (the kit's others kept) and the system's library.
        const fs::path systemLibrary = host("C:\\WINDOWS\\SYSTEM\\~sock32.dll");
        if (e.entries.count(1) > 0) {
            const std::string dialer = d + "TRUMPET\\TRUMPWSK.INI";
            EXPECT_EQ(profileValue(dialer, "Trumpet Winsock", "slip-port"), e.slipPort);
            EXPECT_EQ(profileValue(dialer, "ZEL Internet", "$modemsetup"), e.modemSetup);
            EXPECT_EQ(profileValue(dialer, "ZEL Internet", "$phone"), e.phone);
            EXPECT_EQ(profileValue(dialer, "Trumpet Winsock", "domain"), "zel.com.br");
            expectCopied(medium() / "TRUMPET" / "WINSOCK.DLL", systemLibrary);
        } else {
            EXPECT_FALSE(fs::exists(systemLibrary));
        }

        // Program Manager: the update program starts with Windows, and the kit's group holds
        // one item per installed program.
        std::map<std::string, std::vector<std::string>> expected;
        expected["StartUp"] = {d + "ZELUPD.EXE | ZEL Update | "};
        const std::map<int, std::string> items = {
            {1, d + "TRUMPET\\TCPMAN.EXE | Discador (Trumpet Winsock) | " + d + "ZELNET.ICO"},
            {2, d + "BBS\\ZEL.HT | ZEL BBS | " + d + "ZELBBS.ICO"},
            {3, d + "CORREIO\\CORREIO.EXE | Correio Eletrônico | "},
            {4, d + "NOTICIAS.EXE | Leitor de Notícias | "},
            {5, d + "FTP\\FTPZEL.EXE | Transferência de Arquivos (FTP) | "},
            {6, d + "IRC\\BATEPAPO.EXE | Bate-papo (IRC) | "}};
        auto& kit = expected["ZEL Internet"];
        for (const int entry : e.entries)
            kit.push_back(items.at(entry));
        EXPECT_EQ(progmanGroups(), expected);

        // The browser setup, started without waiting, once, from the medium's root.
        const fs::path trace = prefix / "browser-setup.log";
        if (!e.browserSetup.empty()) {
            const std::string text = awaitFile(trace);
            EXPECT_EQ(text.substr(0, e.browserSetup.size() + 1), e.browserSetup + " ") << text;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        } else {
            // A setup started by mistake would have written its line by now.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_FALSE(fs::exists(trace)) << readFile(trace);
        }
    }
};

// Typical, with the modem's port known: no connection page. The uninstall log cannot be
// written at first: the finish stops there, usable, and finishing again completes it all.
TEST_F(DemoKitTest, TypicalInstallationWhoseFinishFailsOnceAndIsRetried) {
    writeRegistry(kModemKey, "AttachedTo", "COM2");
    writeRegistry(std::string(kModemKey) + "\\Settings\\Init", "1", "AT&F");
    start();
    throughRegistration(false);
    ASSERT_EQ(wizard->choices.installation, InstallationType::Typical);
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CopyPage");
    click(wizard->copyPage->ui.nextButton);
    ASSERT_EQ(currentPage(), "FinishPage");

    struct EnabledTrace : QObject { // the button's state as it changes during the handler
        std::vector<bool> states;
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() == QEvent::EnabledChange)
                states.push_back(static_cast<QWidget*>(object)->isEnabled());
            return false;
        }
    } trace;
    QPushButton* finalizar = wizard->finishPage->ui.finishButton;
    finalizar->installEventFilter(&trace);
    const fs::path windows = driveC() / "WINDOWS";
    fs::permissions(windows, fs::perms::owner_write | fs::perms::group_write,
                    fs::perm_options::remove);
    click(finalizar);
    fs::permissions(windows, fs::perms::owner_write, fs::perm_options::add);

    EXPECT_EQ(ui.errors, std::vector<std::string>{"Unable to write to zelun.ini"});
    EXPECT_FALSE(ui.quitRequested());
    EXPECT_EQ(currentPage(), "FinishPage");
    EXPECT_EQ(trace.states, (std::vector<bool>{false, true}));
    ASSERT_GE(ui.cursorHistory.size(), 2u); // the hourglass while it ran, not after
    EXPECT_EQ(std::vector<bool>(ui.cursorHistory.end() - 2, ui.cursorHistory.end()),
              (std::vector<bool>{true, false}));
    EXPECT_TRUE(fs::exists(host("C:\\Program Files\\ZEL\\ZELUPD.INI")));
    EXPECT_FALSE(fs::exists(windows / "zelun.ini"));
    EXPECT_EQ(registryValue("DisplayName"), "(no key)");

    // The whole sequence again from its first step: the update program's item went out twice
    // and is there once; the failed try's browser setup never started.
    click(finalizar);
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_EQ(trace.states, (std::vector<bool>{false, true, false}));
    finalizar->removeEventFilter(&trace);
    expectMachine(
        {"C:\\Program Files\\ZEL\\", {1, 2, 3, 4}, "2", "AT&F", "ATDP5550100", "navegai"});
}

// The walk-through of the README: a subscriber's custom installation into a directory picked
// in the chooser, the first browser proposed and the second taken, the connection page.
TEST_F(DemoKitTest, CustomInstallationInAChosenDirectoryWithTheSecondBrowser) {
    writeFile(driveC() / "WINDOWS" / "config.exe", ""); // makes the first browser the proposal
    fs::create_directories(driveC() / "INTERNET");
    start();
    throughRegistration(true);
    // The typed form reached the printer in the Windows code page.
    ASSERT_EQ(printer.calls.size(), 17u);
    EXPECT_EQ(printer.calls[4], "text 0,152 Nome     :Maria da Concei\xe7\xe3o");
    EXPECT_EQ(printer.calls[11],
              "text 0,1004 Cart\xe3o     :" +
                  wizard->registrationPage->ui.cardBrandBox->currentText().toStdString());
    EXPECT_EQ(printer.calls[13], "text 0,1244 N\xfamero     :5555 4444 3333 2222");

    click(wizard->installTypePage->ui.installationTypeGroup->button(1));
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CustomInstallPage");
    CustomInstallPage& custom = *wizard->customInstallPage;
    ASSERT_EQ(wizard->choices.browser, Browser::First);
    click(custom.ui.browserGroup->button(1));
    click(custom.programBoxes()[3]); // Notícias out, FTP in
    click(custom.programBoxes()[4]);
    ui.answerModal([this](QDialog& dialog) {
        auto& chooser = static_cast<DirectoryChooser&>(dialog);
        chooser.ui.driveBox->setFocus(); // drive c: by its letter, the folder opened with Enter
        QTest::keyClicks(chooser.ui.driveBox, QStringLiteral("c"));
        QListWidget& list = *chooser.ui.directoryList;
        const auto found = list.findItems(QStringLiteral("INTERNET"), Qt::MatchExactly);
        if (found.size() != 1) {
            ADD_FAILURE() << "no INTERNET line on drive " << chooser.directory();
            return ModalResult::Other;
        }
        list.setFocus();
        list.setCurrentItem(found.front());
        QTest::keyClick(&list, Qt::Key_Return);
        EXPECT_EQ(chooser.ui.directoryLabel->text(), "C:\\INTERNET");
        screenshot(chooser, "07-chooser");
        chooser.ui.confirmButton->click();
        return ModalResult::Other; // ignored: the click has ended the dialog
    });
    click(custom.ui.chooseFolderButton);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "C:\\INTERNET");
    screenshot(custom, "06-custom");
    click(custom.ui.nextButton);

    // Entry 1 chosen: the connection page, which wants a port before it lets the user on.
    ASSERT_EQ(currentPage(), "ModemPage");
    ModemPage& connection = *wizard->modemPage;
    click(connection.ui.nextButton);
    EXPECT_EQ(ui.boxes.size(), 1u);
    ASSERT_EQ(currentPage(), "ModemPage");
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    screenshot(connection, "08-connection");
    click(connection.ui.nextButton);
    copyAndFinish();
    expectMachine({"C:\\INTERNET\\", {1, 2, 3, 5}, "3", "ATZ", "ATDP5550100", "navegai"});
}

// Without the dialer there is nothing to ask about the modem: straight to the copy.
TEST_F(DemoKitTest, CustomInstallationWithoutTheDialerOrABrowser) {
    start();
    throughRegistration(false);
    click(wizard->installTypePage->ui.installationTypeGroup->button(1));
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CustomInstallPage");
    CustomInstallPage& custom = *wizard->customInstallPage;
    click(custom.programBoxes()[0]);
    click(custom.ui.browserGroup->button(2));
    custom.ui.destinationEdit->clear(); // a new directory, typed without its final "\"
    type(custom.ui.destinationEdit, QStringLiteral("C:\\Program Files\\Acesso ZEL"));
    click(custom.ui.nextButton);
    copyAndFinish();
    expectMachine({"C:\\Program Files\\Acesso ZEL\\", {2, 3, 4}, "", "", "", ""});
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "ZEL"));
}

} // namespace
} // namespace zel::test
