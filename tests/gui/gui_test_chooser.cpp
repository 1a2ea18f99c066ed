// The destination directory chooser: drives, the directory list, the drive message, and what
// the custom-installation page takes from it.
#include "tests/support/gui_wizard_fixture.h"

#include "setup/catalogue.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace zel::test {
namespace {

class ChooserTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup("[Principal]\r\ndestino=C:\\KIT\\\r\n[Programa1]\r\nnome=Discador\r\n");
        fs::create_directories(medium() / "KIT" / "SUB");
        fs::create_directories(medium() / "Outro");
        fs::create_directories(driveC() / "Dados");
        // Drive E: is a drive without a medium: its link leads nowhere.
        fs::create_directories(prefix / "dosdevices");
        fs::create_symlink(tmp / "no medium", prefix / "dosdevices" / "e:");
        makeMachine();
        startUp();
        alone = std::make_unique<DirectoryChooser>(*platform);
    }

    // The chooser built alone, or the wizard's once there is a wizard.
    DirectoryChooser& chooser() { return wizard ? *wizard->directoryChooser : *alone; }
    QListWidget& list() { return *chooser().ui.directoryList; }

    QStringList lines() {
        QStringList texts;
        for (int i = 0; i < list().count(); ++i)
            texts << list().item(i)->text();
        return texts;
    }
    QListWidgetItem* line(const QString& text) {
        const auto found = list().findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    // Opening a line with the mouse, and with the keyboard.
    void openByMouse(const QString& text) {
        QListWidgetItem* item = line(text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        // A double click is a click followed by the double-click event.
        const QPoint at = list().visualItemRect(item).center();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, at);
    }
    void pressEnterOn(const QString& text) {
        QListWidgetItem* item = line(text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        list().setCurrentItem(item);
        QTest::keyClick(&list(), Qt::Key_Return);
    }
    // Picking a drive in the drive box: the box moves to it and reports the user's choice.
    void pickDrive(char letter) {
        QComboBox& box = *chooser().ui.driveBox;
        const int index = box.findText(QString(QLatin1Char(letter)) + ':');
        ASSERT_GE(index, 0) << letter;
        box.setCurrentIndex(index);
        emit box.activated(index);
    }
    QString shown() { return chooser().ui.directoryLabel->text(); }
    // Runs the wizard's chooser from the custom page's "Escolher...", doing `work` inside it.
    void choose(const std::function<void()>& work, bool confirm) {
        ui.answerModal([this, work, confirm](QDialog&) {
            work();
            (confirm ? chooser().ui.confirmButton : chooser().ui.cancelButton)->click();
            return ModalResult::Other; // ignored: the click has ended the dialog
        });
        wizard->customInstallPage->ui.chooseFolderButton->click();
    }

    std::unique_ptr<DirectoryChooser> alone;
};

TEST_F(ChooserTest, StartsOnTheWorkingDirectoryAndMovesLineByLine) {
    chooser().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser()));
    EXPECT_EQ(shown(), "D:\\");
    EXPECT_EQ(chooser().directory(), "D:\\");
    EXPECT_EQ(chooser().ui.driveBox->currentText(), "d:");
    EXPECT_EQ(chooser().ui.driveBox->count(), 3); // c:, d: (the medium), e:
    EXPECT_EQ(lines(), QStringList({"d:\\", "KIT", "Outro"}));

    openByMouse("KIT");
    EXPECT_EQ(shown(), "D:\\KIT");
    EXPECT_EQ(lines(), QStringList({"d:\\", "KIT", "SUB"}));
    EXPECT_EQ(list().currentItem()->text(), "KIT"); // the list's own directory is marked
    pressEnterOn("SUB");
    EXPECT_EQ(chooser().directory(), "D:\\KIT\\SUB");
    EXPECT_EQ(lines(), QStringList({"d:\\", "KIT", "SUB"}));
    EXPECT_TRUE(chooser().isVisible()); // Enter opens the line, it does not end the dialog

    // A single click only marks a line.
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {},
                      list().visualItemRect(line("d:\\")).center());
    EXPECT_EQ(shown(), "D:\\KIT\\SUB");
    // Up to the root by its line.
    openByMouse("d:\\");
    EXPECT_EQ(chooser().directory(), "D:\\");

    // The wizard's own current directory never moved.
    EXPECT_EQ(machine().currentDirectory(), "D:\\");
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ChooserTest, ADriveWithoutAMediumIsRefusedOnce) {
    chooser().show();
    openByMouse("Outro");
    pickDrive('e');
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel");
    EXPECT_EQ(ui.boxes[0].caption, "Instala\xe7\xe3o Personalizada");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::None);
    // The list stays where it was; the drive box shows the drive just picked.
    EXPECT_EQ(shown(), "D:\\Outro");
    EXPECT_EQ(lines(), QStringList({"d:\\", "Outro"}));
    EXPECT_EQ(chooser().ui.driveBox->currentText(), "e:");

    // The list's own drive changes nothing and says nothing.
    pickDrive('d');
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(shown(), "D:\\Outro");

    // Another drive: its current directory, here its root, given with its "\".
    pickDrive('c');
    EXPECT_EQ(chooser().directory(), "C:\\");
    EXPECT_EQ(lines().first(), "c:\\");
    EXPECT_TRUE(lines().contains("Dados"));
    // Back on D: where the list left it.
    pickDrive('d');
    EXPECT_EQ(chooser().directory(), "D:\\Outro");
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(machine().currentDirectory(), "D:\\");
}

TEST_F(ChooserTest, AnEntryRemovedMeanwhileIsReportedAndTheListStays) {
    chooser().show();
    const QStringList before = lines();
    fs::remove_all(medium() / "KIT");
    openByMouse("KIT");
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(shown(), "D:\\");
    EXPECT_EQ(lines(), before);
    EXPECT_TRUE(chooser().isVisible());

    // A drive whose last directory went away opens on its root instead of locking the user
    // out of it.
    openByMouse("Outro");
    pickDrive('c');
    fs::remove_all(medium() / "Outro");
    pickDrive('d');
    EXPECT_EQ(chooser().directory(), "D:\\");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ChooserTest, TheCustomPageTakesTheChosenDirectory) {
    makeWizard();
    CustomInstallPage& custom = *wizard->customInstallPage;
    const std::string& destination = wizard->choices.destination;
    const std::string before = destination;

    // Confirmed at once: the start-up working directory, a root with its "\".
    choose([] {}, true);
    ASSERT_EQ(ui.modals.size(), 1u);
    EXPECT_EQ(ui.modals[0].objectName, "DirectoryChooser");
    EXPECT_EQ(custom.ui.destinationEdit->text(), "D:\\");
    EXPECT_EQ(destination, "D:\\");

    // "Voltar" after moving changes nothing on the page...
    choose([this] { openByMouse("KIT"); }, false);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "D:\\");
    EXPECT_EQ(destination, "D:\\");
    // ...but the next opening is where it was left. The page shows the directory as chosen
    // and keeps it terminated for the names joined to it.
    choose([this] { EXPECT_EQ(shown(), "D:\\KIT"); }, true);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "D:\\KIT");
    EXPECT_EQ(destination, "D:\\KIT\\");
    EXPECT_NE(destination, before);

    // Leaving forward stores the same.
    custom.ui.nextButton->click();
    EXPECT_EQ(destination, "D:\\KIT\\");
}

} // namespace
} // namespace zel::test
