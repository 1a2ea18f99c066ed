#pragma once
// The custom-installation page: the programs, the browser and the destination directory.
#include "pages/page_window.h"
#include "setup/choices.h"
#include "ui_custom_install_page.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <string>

class QCheckBox;

namespace zel {

class CustomInstallPage : public PageWindow {
    Q_OBJECT

public:
    // Shows the kit's programs and browsers with the choices' selection. The browser is kept
    // in the choices as the user selects it; the programs and the destination when the user
    // moves on (or picks a directory in the chooser).
    CustomInstallPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                      zel::Choices& choices, Building building = Building::Now);

    Ui::CustomInstallPage ui{};

    // Box N (1 to 10) belongs to program entry N.
    std::array<QCheckBox*, zel::kShownPrograms> programBoxes() const;

    // A directory picked in the chooser: shown as chosen, and stored terminated at once, as the
    // typical installation may take it without this page being left forward.
    void takeDestination(const std::string& directory);

    void chooseFolder() { emit chooseFolderRequested(); }
    void next();
    void requestExit() { emit exitRequested(); }
    void back() { emit backRequested(); }

    // The kbytes that the ticked programs and the chosen browser need.
    std::int64_t requiredSpace() const;
    // The space line; run on every change of a box or of the browser, and on a click on the
    // programs' frame.
    void updateSpaceLine();

signals:
    // "Escolher...": the directory chooser, whose choice comes back through takeDestination.
    void chooseFolderRequested();

protected:
    void buildControls() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the page shows of the catalogue and the choices (with the space line they need), as
    // they are when the page is created; showChoices puts it in the controls.
    struct Shown {
        std::array<QString, zel::kShownPrograms> names;
        std::array<bool, zel::kShownPrograms> ticked{};
        QStringList browsers;
        QString destination;
        int browser = 0;
        QString spaceLine;
    };
    void readChoices();
    void showChoices();

    Shown shown_;

    const zel::Catalogue& catalogue_;
    zel::Choices& choices_;
};

} // namespace zel
