// The registration page, built alone: its creation, "Limpar", the completeness rule with the
// notice and the print dialog, and the fax printout as recorded and as read back from the PDF.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/FaxNoticeDialog.h"
#include "pages/RegistrationPage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace zel::test {
namespace {

std::string run(const std::string& command) {
    return runCommand(command).output;
}

class RegistrationTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup("[Principal]\r\nupline=sugerida\r\ncadastro2=Taxa de R$ 9,90 ap\xf3s o per\xed"
                   "odo.\r\n");
        startUp();
        registration = std::make_unique<RegistrationPage>(*platform, catalogue, choices);
        notice = std::make_unique<FaxNoticeDialog>(*platform);
        // The wizard shows the notice modally when the page asks for it.
        QObject::connect(registration.get(), &RegistrationPage::faxNoticeRequested, notice.get(),
                         [this] { ui.showModal(*notice); });
        movedOn = std::make_unique<QSignalSpy>(registration.get(), &PageWindow::nextRequested);
        page().show();
    }

    RegistrationPage& page() { return *registration; }
    int movesOn() const { return static_cast<int>(movedOn->count()); }
    void type(QLineEdit* edit, const QString& text) { QTest::keyClicks(edit, text); }
    // "Seguir >", with the notice answered by its own OK button.
    void seguir() {
        answerByClicking(notice->ui.okButton);
        page().ui.nextButton->click();
    }

    std::unique_ptr<RegistrationPage> registration;
    std::unique_ptr<FaxNoticeDialog> notice;
    std::unique_ptr<QSignalSpy> movedOn;
    void fillEverything() {
        const char* texts[16] = {"João da Silva", "Rua das Flores", "12",    "",
                                 "Centro",        "São Paulo",      "SP",    "01000-000",
                                 "01/02/70",      "Engenheiro",     "",      "555-0102",
                                 "JOAO SILVA",    "4111 1111",      "12/99", nullptr};
        const auto fields = page().fields();
        // Set rather than typed: the test's key simulation knows ASCII keys only.
        for (std::size_t i = 0; i < 15; ++i)
            fields[i]->setText(QString::fromUtf8(texts[i]));
        // The password field keeps the suggestion from upline.
    }
};

TEST_F(RegistrationTest, CreationAndLimpar) {
    EXPECT_EQ(page().ui.passwordEdit->text(), "sugerida");
    // cadastro1 is empty: the built-in introduction stays; cadastro2 replaces its label.
    EXPECT_TRUE(page().ui.introLabel->text().startsWith("Preencha todos os dados abaixo"));
    EXPECT_EQ(page().ui.feeLabel->text(), "Taxa de R$ 9,90 após o período.");

    fillEverything();
    page().ui.cardBrandBox->setCurrentIndex(1);
    page().ui.clearButton->click();
    for (QLineEdit* edit : page().fields())
        EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
    EXPECT_EQ(page().ui.cardBrandBox->currentIndex(), -1);
    EXPECT_EQ(page().ui.cardBrandBox->currentText(), "");
    EXPECT_TRUE(page().isVisible());
}

TEST_F(RegistrationTest, PartlyFilledKeyFieldsKeepThePage) {
    // Name and card number without a telephone.
    type(page().ui.nameEdit, "Ana");
    type(page().ui.cardNumberEdit, "4111");
    seguir();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "O preenchimento do cadastro est\xe1 INCOMPLETO, por favor, "
                                "verifique os dados novamente");
    EXPECT_EQ(ui.boxes[0].caption, "Aviso");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(ui.modals.empty());
    EXPECT_EQ(printer->chooseCount, 0);
    EXPECT_EQ(movesOn(), 0);
    ui.modalAnswers.clear();
}

TEST_F(RegistrationTest, OnlyTheAddressPassesWithoutRegistering) {
    type(page().ui.streetEdit, "Rua A");
    type(page().ui.cityEdit, "Recife");
    page().ui.cardBrandBox->setCurrentIndex(3);
    page().ui.nextButton->click();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.modals.empty());
    EXPECT_EQ(printer->chooseCount, 0);
    EXPECT_FALSE(fs::exists(printer->outputFile()));
    EXPECT_EQ(movesOn(), 1);
    // The form is kept in the choices all the same, field by field.
    EXPECT_EQ(choices.registration.street, "Rua A");
    EXPECT_EQ(choices.registration.city, "Recife");
    EXPECT_EQ(choices.registration.cardBrand, "AMEX");
    EXPECT_EQ(choices.registration.name, "");
}

TEST_F(RegistrationTest, ACompleteFormIsPrintedOnOnePage) {
    fillEverything();
    page().ui.cardBrandBox->setCurrentIndex(2);
    seguir();
    EXPECT_EQ(choices.registration.name, "Jo\xe3o da Silva");
    EXPECT_EQ(choices.registration.officePhone, "555-0102");
    EXPECT_EQ(choices.registration.password, "sugerida");

    ASSERT_EQ(ui.modals.size(), 1u);
    EXPECT_EQ(ui.modals[0].objectName, "FaxNoticeDialog");
    EXPECT_EQ(ui.modals[0].result, ModalResult::Confirm);
    EXPECT_EQ(printer->chooseCount, 1);
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(movesOn(), 1);

    // One page: the heading, then the twelve lines, every blank in place.
    ASSERT_EQ(printer->lastDocument().size(), 1u);
    const QtPrinter::Page& printed = printer->lastDocument()[0];
    ASSERT_EQ(printed.size(), 13u);
    const char* expected[13] = {"Enviar via FAX para: 011-555-0190",
                                "Nome     :Jo\xe3o da Silva",
                                "Endere\xe7o :Rua das Flores, 12 - apto.",
                                "Compl.   :Centro",
                                "Cidade   :S\xe3o Paulo  UF:SP",
                                "CEP      :01000-000  Data de nasc.:01/02/70",
                                "Profiss\xe3o:Engenheiro",
                                "Fone Res.:  Fone Com.:555-0102",
                                "Cart\xe3o     :Diners Club",
                                "Nome       :JOAO SILVA",
                                "N\xfamero     :4111 1111",
                                "Validade   :12/99",
                                " Senha de Acesso:sugerida"};
    for (std::size_t i = 0; i < 13; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(printed[i].text, expected[i]);
        EXPECT_EQ(printed[i].x, 0);
        EXPECT_EQ(printed[i].face, "Courier New");
        EXPECT_EQ(printed[i].points, i == 0 ? 14 : 12);
        EXPECT_EQ(printed[i].style.underline, i == 0);
        EXPECT_FALSE(printed[i].style.bold);
    }
    // Each line below the one before by its height, and 12 more after the heading and line 7.
    printer->setFont("Courier New", 14, FontStyle{false, false, true});
    const int heading = printer->textHeight(expected[0]);
    printer->setFont("Courier New", 12, FontStyle{});
    const int line = printer->textHeight(expected[1]);
    ASSERT_GT(line, 12);
    EXPECT_EQ(printed[0].y, 0);
    EXPECT_EQ(printed[1].y, heading + 12);
    EXPECT_EQ(printed[7].y, heading + 12 + 6 * line);
    EXPECT_EQ(printed[8].y, heading + 12 + 7 * line + 12);
    EXPECT_EQ(printed[12].y, heading + 12 + 11 * line + 12);

    // The document itself: one page, whose text reads as printed.
    const std::string pdf = "'" + printer->outputFile().string() + "'";
    const std::string info = run("pdfinfo " + pdf + " 2>&1");
    const std::size_t pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), 1) << info;
    const std::string text = run("pdftotext -layout " + pdf + " - 2>/dev/null");
    // The layout read-back keeps long runs of blanks but may close up a pair, so every line is
    // compared with its blanks collapsed, in order, and one run is checked as it stands.
    const auto collapsed = [](std::string line) {
        std::string out;
        for (const char c : line)
            if (c != ' ' || out.empty() || out.back() != ' ')
                out += c;
        return out;
    };
    const std::string read = collapsed(text);
    std::size_t from = 0;
    for (const char* printedLine : expected) {
        const std::string utf8 = collapsed(QString::fromLatin1(printedLine).toStdString());
        const std::size_t at = read.find(utf8, from);
        EXPECT_NE(at, std::string::npos) << utf8 << "\n" << text;
        if (at != std::string::npos)
            from = at + utf8.size();
    }
    EXPECT_NE(text.find("Nome     :Jo\xc3\xa3o da Silva"), std::string::npos) << text;
}

TEST_F(RegistrationTest, TypedCardTextIsNeverPrinted) {
    type(page().ui.nameEdit, "Ana");
    type(page().ui.homePhoneEdit, "555");
    type(page().ui.cardNumberEdit, "4111");
    // Typed without choosing an item.
    QTest::keyClicks(page().ui.cardBrandBox, "Credicard");
    seguir();
    ASSERT_EQ(printer->lastDocument().size(), 1u);
    EXPECT_EQ(printer->lastDocument()[0][8].text, "Cart\xe3o     :");

    // The first letter of an item, then Tab: the combo box completes nothing into a choice.
    page().ui.cardBrandBox->clearEditText();
    page().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page()));
    page().ui.cardBrandBox->setFocus();
    QTest::keyClicks(page().ui.cardBrandBox, "s");
    QTest::keyClick(page().ui.cardBrandBox, Qt::Key_Tab);
    EXPECT_EQ(page().ui.cardBrandBox->currentIndex(), -1);
    seguir();
    ASSERT_EQ(printer->lastDocument().size(), 1u);
    EXPECT_EQ(printer->lastDocument()[0][8].text, "Cart\xe3o     :");

    // Chosen, then typed over: the choice is gone with the item's text.
    page().ui.cardBrandBox->setCurrentIndex(1);
    ASSERT_EQ(page().ui.cardBrandBox->currentText(), "VISA");
    page().ui.cardBrandBox->lineEdit()->selectAll();
    QTest::keyClicks(page().ui.cardBrandBox, "Outra");
    EXPECT_EQ(page().ui.cardBrandBox->currentText(), "Outra");
    seguir();
    ASSERT_EQ(printer->lastDocument().size(), 1u);
    EXPECT_EQ(printer->lastDocument()[0][8].text, "Cart\xe3o     :");

    // Chosen from the list: printed.
    page().ui.cardBrandBox->setCurrentIndex(4);
    seguir();
    EXPECT_EQ(printer->lastDocument()[0][8].text, "Cart\xe3o     :Sollo");
}

TEST_F(RegistrationTest, ACancelledPrintDialogStillMovesOn) {
    type(page().ui.nameEdit, "Ana");
    type(page().ui.officePhoneEdit, "555");
    type(page().ui.cardNumberEdit, "4111");
    printer->answerChoose(false);
    seguir();
    EXPECT_EQ(ui.modals.size(), 1u);
    EXPECT_EQ(printer->chooseCount, 1);
    EXPECT_TRUE(printer->lastDocument().empty());
    EXPECT_FALSE(fs::exists(printer->outputFile()));
    EXPECT_EQ(movesOn(), 1);
}

TEST_F(RegistrationTest, APrintingErrorIsReportedAndThePageStays) {
    type(page().ui.nameEdit, "Ana");
    type(page().ui.officePhoneEdit, "555");
    type(page().ui.cardNumberEdit, "4111");
    printer->setOutputFile(tmp / "no such directory" / "out.pdf");
    seguir();
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_FALSE(printer->documentOpen());
    EXPECT_TRUE(printer->lastDocument().empty());
    EXPECT_EQ(movesOn(), 0);

    // A printer that works again takes the next try.
    printer->setOutputFile(tmp / "again.pdf");
    seguir();
    EXPECT_EQ(printer->lastDocument().size(), 1u);
    EXPECT_EQ(movesOn(), 1);
}

} // namespace
} // namespace zel::test
