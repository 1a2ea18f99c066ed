#pragma once
// The destination directory chooser, opened modally by the custom-installation page: a drive
// box and a directory list over the machine's drives.
//
// The chooser keeps its own current directory (and the last one it showed on each drive):
// moving through the list never changes the wizard's current directory, which other code may
// rely on. Entering the machine is used only to find out whether a directory can be reached.
#include "pages/page_window.h"
#include "ui_directory_chooser.h"

#include <QIcon>

#include <map>
#include <string>
#include <vector>

class QListWidgetItem;

namespace zel {

class DirectoryChooser : public PageWindow {
    Q_OBJECT

public:
    explicit DirectoryChooser(zel::Platform& platform, Building building = Building::Now);

    Ui::DirectoryChooser ui{};

    // The directory of the list: "C:\" for a drive's root, any other without a trailing "\".
    const std::string& directory() const { return directory_; }

    void driveChosen();
    void showDirectory();
    // Opening a line (double click or Enter): it becomes the list's directory.
    void openLine(const std::string& path);
    void confirm();
    void cancel();

protected:
    void buildControls() override;
    void onShow() override;

private:
    // The drives, and the directory the program started in, for the drive box and the list.
    void create();
    // Moves the list to the directory; raises, changing nothing, when it cannot be reached.
    void changeDirectory(const std::string& path);
    void fillLines();
    void showDriveOfList();

    std::vector<char> drives_;
    std::string directory_;
    std::map<char, std::string> lastOnDrive_; // upper-case letter -> directory
    // The list's folder icons: read once, used by every filling of the list.
    QIcon folderOpen_;
    QIcon folderClosed_;
};

} // namespace zel
