// The whole wizard, page by page through its own buttons, on a copy of the demo kit and a fresh
// machine; then what the machine holds: files and dates, settings files, the registry, Program
// Manager's groups, the browser setup and the printout. Program Manager is started by the
// wizard itself, as on a first installation, and leaves on its own after the run.
#include "tests/support/gui_e2e.h"

#include "pages/ModemPage.h"
#include "pages/FinishPage.h"
#include "setup/finish.h"
#include "qt/qt_radiogroup.h"
#include "pages/FaxNoticeDialog.h"
#include "pages/RegistrationPage.h"
#include "pages/CopyPage.h"
#include "pages/LicencePage.h"
#include "pages/WelcomePage.h"
#include "pages/InstallTypePage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <thread>

namespace zel::test {
namespace {

constexpr const char* kModemKey = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kModemInitKey =
    "System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";

// The demo kit's programs as its SETUP.INI describes them: where their files lie on the medium,
// whether they get a folder of their own, their files and system files.
struct KitProgram {
    int entry;
    const char* folder;
    bool ownFolder;
    std::vector<const char*> files;
    std::vector<const char*> systemFiles;
};
const std::vector<KitProgram> kKitPrograms = {
    {1, "TRUMPET", true, {"TCPMAN.EXE", "TRUMPWSK.INI", "WINSOCK.DLL", "HOSTS", "LEIAME.TXT"}, {}},
    {2, "BBS", true, {"ZEL.HT", "LEIAME.TXT"}, {}},
    {3, "CORREIO", true, {"CORREIO.EXE", "CORREIO.HLP"}, {"MAILAPI.DLL", "MIMEUTIL.DLL"}},
    {4, "NOTICIAS", false, {"NOTICIAS.EXE", "NOTICIAS.INI"}, {}},
    {5, "FTP", true, {"FTPZEL.EXE", "FTPZEL.HLP"}, {}},
    {6, "IRC", true, {"BATEPAPO.EXE", "SERVIDOR.TXT"}, {}},
};

// What one run should have left on the machine.
struct Expected {
    std::string destino;      // with its trailing "\"
    std::set<int> entries;    // the kit's programs installed
    std::string slipPort;     // the dialer's port when entry 1 is installed
    std::string modemSetup;   // "(none)" when not written
    std::string phone;        // "(none)" when not written
    std::string browserSetup; // the tag the browser setup leaves, "" for none
};

// A kit of two programs written for the cases the demo kit does not hold: the first program
// in a folder whose key is empty, the second with a first file "zel.ht" in lower case, the
// Internet icon in a folder that does not exist, and an update program without extension.
constexpr std::string_view kOddSetup = "[Principal]\r\n"
                                       "grupo=Acesso Internet\r\n"
                                       "destino=C:\\ACESSO\\\r\n"
                                       "homepage=http://www.zel.com.br/\r\n"
                                       "searchpage=http://busca.zel.com.br/\r\n"
                                       "ineticone=ICONES\\inet.ico\r\n"
                                       "bbsicone=bbs.ico\r\n"
                                       "navegap_setup=NAVEGA\\SETUP.EXE\r\n"
                                       "navegap_version=Navegante P\r\n"
                                       "navegai_setup=NAVEGI\\SETUP.EXE\r\n"
                                       "navegai_version=Navegante I\r\n"
                                       "[Update]\r\nprograma=ATUALIZA\r\ndiretorio=UPD\\\r\n"
                                       "[Uninstall]\r\nprograma=ZELUN.EXE\r\ndiretorio=UPD\\\r\n"
                                       "[Programa1]\r\nnome=Discador\r\ninstala=1\r\n"
                                       "tamanho=10\r\ndiretorio=\r\ncriadir=1\r\n"
                                       "Arquivo1=DISCADOR.EXE\r\nArquivo2=DISCADOR.INI\r\n"
                                       "Arquivo3=SOCK.DLL\r\n"
                                       "[Programa2]\r\nnome=Quadro\r\ninstala=1\r\ntamanho=10\r\n"
                                       "diretorio=QUADRO\\\r\ncriadir=1\r\nArquivo1=zel.ht\r\n";

// Types the text into the widget one key at a time, accents included (QTest's key clicks know
// only ASCII).
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

class WizardRunTest : public EndToEndTest {
protected:
    // Welcome, licence and registration. With `subscriber`, the registration is complete: the
    // notice is confirmed and the print dialog (answered by the printer) confirmed.
    void throughRegistration(bool subscriber) {
        Wizard& w = *wizard;
        ASSERT_EQ(currentPage(), "WelcomePage");
        screenshot(*w.welcomePage, "01-welcome");
        click(w.welcomePage->ui.nextButton);
        ASSERT_EQ(currentPage(), "LicencePage");
        screenshot(*w.licencePage, "02-licence");
        click(w.licencePage->ui.nextButton);
        ASSERT_EQ(currentPage(), "RegistrationPage");
        RegistrationPage& cadastro = *w.registrationPage;
        if (subscriber) {
            type(cadastro.ui.nameEdit, QStringLiteral("Maria da Conceição"));
            type(cadastro.ui.streetEdit, QStringLiteral("Rua das Flores"));
            type(cadastro.ui.numberEdit, QStringLiteral("12"));
            type(cadastro.ui.cityEdit, QStringLiteral("São Paulo"));
            type(cadastro.ui.stateEdit, QStringLiteral("SP"));
            type(cadastro.ui.officePhoneEdit, QStringLiteral("(011) 555-0123"));
            // The card brand is picked from the list, as with the arrow keys.
            cadastro.ui.cardBrandBox->setFocus();
            QTest::keyClick(cadastro.ui.cardBrandBox, Qt::Key_Down);
            QTest::keyClick(cadastro.ui.cardBrandBox, Qt::Key_Down);
            type(cadastro.ui.cardNumberEdit, QStringLiteral("5555 4444 3333 2222"));
            type(cadastro.ui.cardExpiryEdit, QStringLiteral("12/99"));
            screenshot(cadastro, "03-registration");
            ui.answerModal([this](QDialog& dialog) {
                auto& aviso = static_cast<FaxNoticeDialog&>(dialog);
                screenshot(aviso, "04-notice");
                aviso.ui.okButton->click();
                return ModalResult::Other; // ignored: the click has ended the dialog
            });
        }
        click(cadastro.ui.nextButton);
        ASSERT_EQ(currentPage(), "InstallTypePage");
        screenshot(*w.installTypePage, "05-installation-type");
        if (subscriber) {
            ASSERT_EQ(ui.modals.size(), 1u);
            EXPECT_EQ(ui.modals[0].objectName, "FaxNoticeDialog");
            EXPECT_EQ(printer->chooseCount, 1);
        } else {
            EXPECT_TRUE(ui.modals.empty());
            EXPECT_EQ(printer->chooseCount, 0);
        }
    }

    // The copy page's "Seguir >", then the finish page's "Finalizar", which ends the wizard.
    void copyAndFinish() {
        Wizard& w = *wizard;
        ASSERT_EQ(currentPage(), "CopyPage");
        screenshot(*w.copyPage, "09-copy");
        click(w.copyPage->ui.nextButton);
        ASSERT_EQ(currentPage(), "FinishPage") << "errors: " << ::testing::PrintToString(ui.errors);
        screenshot(*w.finishPage, "10-finish");
        click(w.finishPage->ui.finishButton);
        EXPECT_TRUE(ui.errors.empty()) << ::testing::PrintToString(ui.errors);
        EXPECT_TRUE(ui.quitRequested());
        EXPECT_FALSE(ui.busy());
    }

    fs::path mediumFile(const std::string& relative) { return medium() / relative; }

    void expectMachine(const Expected& e) {
        const std::string& d = e.destino;
        // The programs' files, with their dates; nothing of the programs left out.
        for (const KitProgram& program : kKitPrograms) {
            const std::string target =
                d + (program.ownFolder ? program.folder + std::string("\\") : "");
            const bool installed = e.entries.count(program.entry) > 0;
            for (const char* file : program.files) {
                const fs::path copy = host(target + file);
                if (!installed) {
                    EXPECT_FALSE(fs::exists(copy)) << copy;
                    continue;
                }
                // The dialer settings file is rewritten after the copy; its keys are below.
                if (program.entry == 1 && std::string_view(file) == "TRUMPWSK.INI")
                    EXPECT_TRUE(fs::exists(copy)) << copy;
                else
                    expectCopied(medium() / program.folder / file, copy);
            }
            for (const char* file : program.systemFiles) {
                const fs::path copy = host(std::string("C:\\WINDOWS\\SYSTEM\\") + file);
                if (installed)
                    expectCopied(medium() / program.folder / file, copy);
                else
                    EXPECT_FALSE(fs::exists(copy)) << copy;
            }
        }
        // The update program with its icons, and the uninstaller under its fixed name.
        for (const char* file : {"ZELUPD.EXE", "ZELGRP.ICO", "ZELNET.ICO", "ZELBBS.ICO"})
            expectCopied(medium() / "UPDATE" / file, host(d + file));
        expectCopied(medium() / "UNINST" / "ZELUN.EXE", host("C:\\WINDOWS\\zelun.exe"));

        // The update program's settings and the uninstall log.
        const std::string updateSettings = d + "ZELUPD.INI";
        EXPECT_EQ(profileValue(updateSettings, "ZEL", "homepage"), "http://www.zel.com.br/");
        EXPECT_EQ(profileValue(updateSettings, "ZEL", "searchpage"),
                  "http://www.zel.com.br/busca/");
        EXPECT_EQ(profileValue(updateSettings, "ZEL", "item"), "ZEL Update");
        EXPECT_EQ(profileValue(updateSettings, "ZEL", "grupo"), "ZEL Internet");
        EXPECT_EQ(profileValue("C:\\WINDOWS\\zelun.ini", "ZEL", "dir"), d);
        EXPECT_EQ(profileValue("C:\\WINDOWS\\zelun.ini", "ZEL", "grupo"), "ZEL Internet");

        // The dial-up stack: its settings and the system's socket library.
        const fs::path systemLibrary = host("C:\\WINDOWS\\SYSTEM\\~sock32.dll");
        if (e.entries.count(1) > 0) {
            const std::string dialer = d + "TRUMPET\\TRUMPWSK.INI";
            EXPECT_EQ(profileValue(dialer, "Trumpet Winsock", "slip-port"), e.slipPort);
            EXPECT_EQ(profileValue(dialer, "ZEL Internet", "$modemsetup"), e.modemSetup);
            EXPECT_EQ(profileValue(dialer, "ZEL Internet", "$phone"), e.phone);
            // The rest of the kit's settings stay.
            EXPECT_EQ(profileValue(dialer, "Trumpet Winsock", "domain"), "zel.com.br");
            expectCopied(medium() / "TRUMPET" / "WINSOCK.DLL", systemLibrary);
        } else {
            EXPECT_FALSE(fs::exists(systemLibrary));
        }

        // The uninstall registration.
        EXPECT_EQ(registryValue(kUninstallKey, "DisplayName"), "ZEL Internet");
        EXPECT_EQ(registryValue(kUninstallKey, "UninstallString"), "C:\\WINDOWS\\zelun.exe");

        // Program Manager: the update program starts with Windows; the kit's group holds one
        // item per installed program, the Internet icon on the first and the BBS icon on ZEL.HT.
        const auto groups = progmanGroups();
        const ProgmanGroup* startUp = findGroup(groups, "StartUp");
        ASSERT_NE(startUp, nullptr);
        EXPECT_EQ(startUp->items, std::vector<ProgmanItem>({{d + "ZELUPD.EXE", "ZEL Update", ""}}));
        const ProgmanGroup* kit = findGroup(groups, "ZEL Internet");
        ASSERT_NE(kit, nullptr);
        std::vector<ProgmanItem> items;
        if (e.entries.count(1))
            items.push_back(
                {d + "TRUMPET\\TCPMAN.EXE", "Discador (Trumpet Winsock)", d + "ZELNET.ICO"});
        if (e.entries.count(2))
            items.push_back({d + "BBS\\ZEL.HT", "ZEL BBS", d + "ZELBBS.ICO"});
        if (e.entries.count(3))
            items.push_back({d + "CORREIO\\CORREIO.EXE", "Correio Eletrônico", ""});
        if (e.entries.count(4))
            items.push_back({d + "NOTICIAS.EXE", "Leitor de Notícias", ""});
        if (e.entries.count(5))
            items.push_back({d + "FTP\\FTPZEL.EXE", "Transferência de Arquivos (FTP)", ""});
        if (e.entries.count(6))
            items.push_back({d + "IRC\\BATEPAPO.EXE", "Bate-papo (IRC)", ""});
        EXPECT_EQ(kit->items, items);

        // The browser setup, started without waiting, from the medium's root (D:\).
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

class DemoKitTest : public WizardRunTest {
protected:
    void SetUp() override {
        WizardRunTest::SetUp();
        copyDemoKit();
    }
};

// ---------------------------------------------------------------------------------------
// Three whole installations of the demo kit

TEST_F(DemoKitTest, TypicalInstallationWithARegisteredModemGoesStraightToTheCopy) {
    writeRegistry(kModemKey, "AttachedTo", "COM2");
    writeRegistry(kModemInitKey, "1", "AT&F");
    Wizard& w = makeWizard();
    start();
    throughRegistration(true);

    // Typical, with the modem's port known: no connection page.
    ASSERT_EQ(w.choices.installation, InstallationType::Typical);
    click(w.installTypePage->ui.nextButton);
    copyAndFinish();

    // The defaults: the kit's selection under Program Files, the second browser (no
    // configuration program of the first on this machine), the registered modem.
    expectMachine(
        {"C:\\Program Files\\ZEL\\", {1, 2, 3, 4}, "2", "AT&F", "ATDP5550100", "navegai"});

    // The printout: the registration on one page, as printed and in the PDF.
    const auto& document = printer->lastDocument();
    ASSERT_EQ(document.size(), 1u);
    std::vector<std::string> lines;
    for (const auto& text : document[0])
        lines.push_back(text.text);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "Enviar via FAX para: 011-555-0190");
    EXPECT_EQ(lines[1], "Nome     :Maria da Concei\xe7\xe3o");
    EXPECT_EQ(lines[2], "Endere\xe7o :Rua das Flores, 12 - apto.");
    EXPECT_EQ(lines[4], "Cidade   :S\xe3o Paulo  UF:SP");
    EXPECT_EQ(lines[7], "Fone Res.:  Fone Com.:(011) 555-0123");
    EXPECT_EQ(lines[8],
              "Cart\xe3o     :" + w.registrationPage->ui.cardBrandBox->currentText().toStdString());
    EXPECT_EQ(lines[10], "N\xfamero     :5555 4444 3333 2222");
    EXPECT_EQ(lines[12], " Senha de Acesso:zel1996");

    const std::string pdf =
        runCommand("pdftotext -layout '" + printer->outputFile().string() + "' -").output;
    EXPECT_NE(pdf.find("Enviar via FAX para: 011-555-0190"), std::string::npos) << pdf;
    EXPECT_NE(pdf.find("Nome     :Maria da Conceição"), std::string::npos) << pdf;
    EXPECT_NE(pdf.find("Número     :5555 4444 3333 2222"), std::string::npos) << pdf;
}

TEST_F(DemoKitTest, CustomInstallationInAChosenDirectoryWithTheSecondBrowser) {
    // The first browser's configuration program makes it the proposal; the user takes the
    // second. The destination is a directory the user picks in the chooser.
    writeFile(driveC() / "WINDOWS" / "config.exe", "");
    fs::create_directories(driveC() / "INTERNET");
    Wizard& w = makeWizard();
    start();
    throughRegistration(true);

    click(w.installTypePage->ui.installationTypeGroup->button(1));
    click(w.installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CustomInstallPage");
    CustomInstallPage& custom = *w.customInstallPage;
    ASSERT_EQ(w.choices.browser, Browser::First);
    click(custom.ui.browserGroup->button(1));
    // Notícias out, FTP in.
    click(custom.programBoxes()[3]);
    click(custom.programBoxes()[4]);

    ui.answerModal([this](QDialog& dialog) {
        auto& chooser = static_cast<DirectoryChooser&>(dialog);
        // Drive c: picked by its letter, then the folder opened with Enter.
        chooser.ui.driveBox->setFocus();
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
    ModemPage& connection = *w.modemPage;
    click(connection.ui.nextButton);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Voc\xea precisa selecionar uma porta serial");
    ASSERT_EQ(currentPage(), "ModemPage");
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    screenshot(connection, "08-connection");
    click(connection.ui.nextButton);
    copyAndFinish();

    expectMachine({"C:\\INTERNET\\", {1, 2, 3, 5}, "3", "ATZ", "ATDP5550100", "navegai"});
}

TEST_F(DemoKitTest, CustomInstallationWithoutTheDialerOrABrowser) {
    Wizard& w = makeWizard();
    start();
    throughRegistration(false);

    click(w.installTypePage->ui.installationTypeGroup->button(1));
    click(w.installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CustomInstallPage");
    CustomInstallPage& custom = *w.customInstallPage;
    click(custom.programBoxes()[0]);
    click(custom.ui.browserGroup->button(2));
    // A new directory typed without its final "\".
    custom.ui.destinationEdit->clear();
    type(custom.ui.destinationEdit, QStringLiteral("C:\\Program Files\\Acesso ZEL"));
    click(custom.ui.nextButton);

    // Without the dialer there is nothing to ask about the modem: straight to the copy.
    copyAndFinish();
    expectMachine({"C:\\Program Files\\Acesso ZEL\\", {2, 3, 4}, "", "", "", ""});
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "ZEL"));
}

// ---------------------------------------------------------------------------------------
// The finish page when the sequence fails

TEST_F(DemoKitTest, AFailedFinishLeavesThePageUsableAndFinishingAgainCompletes) {
    writeRegistry(kModemKey, "AttachedTo", "COM1");
    Wizard& w = makeWizard();
    start();
    throughRegistration(false);
    click(w.installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CopyPage");
    click(w.copyPage->ui.nextButton);
    ASSERT_EQ(currentPage(), "FinishPage");

    // The button's enabled state, as it changes during the handler.
    struct EnabledTrace : QObject {
        std::vector<bool> states;
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() == QEvent::EnabledChange)
                states.push_back(static_cast<QWidget*>(object)->isEnabled());
            return false;
        }
    } trace;
    QPushButton* finalizar = w.finishPage->ui.finishButton;
    finalizar->installEventFilter(&trace);

    // The uninstall log cannot be written: the sequence stops there.
    const fs::path windows = driveC() / "WINDOWS";
    fs::permissions(windows, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec);
    click(finalizar);
    fs::permissions(windows, fs::perms::owner_all, fs::perm_options::add);

    EXPECT_EQ(ui.errors, std::vector<std::string>{"Unable to write to zelun.ini"});
    EXPECT_FALSE(ui.quitRequested());
    EXPECT_EQ(currentPage(), "FinishPage");
    EXPECT_EQ(trace.states, (std::vector<bool>{false, true}));
    EXPECT_TRUE(finalizar->isEnabled());
    // The hourglass while it ran, the default cursor again now.
    ASSERT_GE(ui.cursorHistory.size(), 2u);
    EXPECT_EQ(std::vector<bool>(ui.cursorHistory.end() - 2, ui.cursorHistory.end()),
              (std::vector<bool>{true, false}));
    EXPECT_TRUE(fs::exists(host("C:\\Program Files\\ZEL\\ZELUPD.INI")));
    EXPECT_FALSE(fs::exists(windows / "zelun.ini"));
    EXPECT_EQ(registryValue(kUninstallKey, "DisplayName"), "(no key)");

    // Again, on a machine that now lets it: the whole sequence from its first step.
    click(finalizar);
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_EQ(trace.states, (std::vector<bool>{false, true, false}));
    finalizar->removeEventFilter(&trace);
    // The update program's item went out twice and is there once; the browser setup of the
    // failed try never started, so its trace has the one line of the second. No modem
    // initialisation was known, so the kit's own commands stay in the dialer's settings.
    expectMachine({"C:\\Program Files\\ZEL\\", {1, 2, 3, 4}, "1", "ATZ", "ATDT5550100", "navegai"});
}

// ---------------------------------------------------------------------------------------
// A hand-written kit: the texts the demo kit does not hold, through Program Manager itself

TEST_F(WizardRunTest, OddNamesReachProgramManagerAsTheyAreAndEarlierRecordsStay) {
    writeSetup(kOddSetup);
    writeFile(medium() / "DISCADOR.EXE", "discador");
    writeFile(medium() / "DISCADOR.INI", "[Trumpet Winsock]\r\n");
    writeFile(medium() / "SOCK.DLL", "sock");
    writeFile(medium() / "QUADRO" / "zel.ht", "quadro");
    writeFile(medium() / "UPD" / "ATUALIZA", "#!/bin/sh\n");
    writeFile(medium() / "UPD" / "ZELUN.EXE", "#!/bin/sh\n");
    writeFile(medium() / "NAVEGA" / "SETUP.EXE",
              "#!/bin/sh\necho navegap >> \"$ZEL_PREFIX/browser-setup.log\"\n");
    fs::permissions(medium() / "NAVEGA" / "SETUP.EXE", fs::perms::owner_all);
    writeFile(driveC() / "WINDOWS" / "config.exe", ""); // the first browser
    // What an earlier installation left: another program's uninstall value and log section.
    writeRegistry(kUninstallKey, "Publisher", "ZEL");
    writeRegistry(kUninstallKey, "DisplayName", "ZEL Internet 1.0");
    writeFile(driveC() / "WINDOWS" / "zelun.ini",
              "[Anterior]\r\ndir=C:\\ZEL10\\\r\n[ZEL]\r\ndir=C:\\ZEL10\\\r\nversao=1.0\r\n");
    writeRegistry(kModemKey, "AttachedTo", "COM4");

    Wizard& w = makeWizard();
    start();
    throughRegistration(false);
    click(w.installTypePage->ui.nextButton);
    copyAndFinish();

    const std::string d = "C:\\Program Files\\ACESSO\\";
    const auto groups = progmanGroups();
    const ProgmanGroup* kit = findGroup(groups, "Acesso Internet");
    ASSERT_NE(kit, nullptr);
    // An empty folder key gives two backslashes; the icon's missing folder an empty
    // component; "zel.ht" in lower case no icon.
    EXPECT_EQ(kit->items, std::vector<ProgmanItem>({
                              {d + "\\DISCADOR.EXE", "Discador", d + "\\inet.ico"},
                              {d + "QUADRO\\zel.ht", "Quadro", ""},
                          }));
    const ProgmanGroup* startUp = findGroup(groups, "StartUp");
    ASSERT_NE(startUp, nullptr);
    EXPECT_EQ(startUp->items, std::vector<ProgmanItem>({{d + "ATUALIZA", "ZEL Update", ""}}));

    EXPECT_EQ(profileValue(d + "ATUALIZA.INI", "ZEL", "grupo"), "Acesso Internet");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.ini"),
              "[Anterior]\r\ndir=C:\\ZEL10\\\r\n[ZEL]\r\ndir=" + d +
                  "\r\nversao=1.0\r\ngrupo=Acesso Internet\r\n");
    EXPECT_EQ(registryValue(kUninstallKey, "DisplayName"), "ZEL Internet");
    EXPECT_EQ(registryValue(kUninstallKey, "UninstallString"), "C:\\WINDOWS\\zelun.exe");
    EXPECT_EQ(registryValue(kUninstallKey, "Publisher"), "ZEL");
    EXPECT_EQ(awaitFile(prefix / "browser-setup.log"), "navegap\n");
}

} // namespace
} // namespace zel::test
