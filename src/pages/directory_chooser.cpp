#include "pages/directory_chooser.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"
#include "setup/messages.h"
#include "winemu/winpath.h"

#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>

#include <cctype>
#include <exception>

namespace zel {

namespace {

constexpr int kPathRole = Qt::UserRole;      // the line's directory (Windows path, UTF-8)
constexpr int kLevelRole = Qt::UserRole + 1; // its depth below the root
constexpr int kIndent = 8;
constexpr int kItemHeight = 16;

char upperCase(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

char lowerCase(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Lines indented by their depth, as the classic directory list draws its tree.
class DirectoryLines : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.adjust(index.data(kLevelRole).toInt() * kIndent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width() + index.data(kLevelRole).toInt() * kIndent, kItemHeight};
    }
};

} // namespace

DirectoryChooser::DirectoryChooser(zel::Platform& platform, Building building)
    : PageWindow(platform, Role::Dialog, kTitleOnly | Qt::WindowStaysOnTopHint) {
    run([this] { create(); });
    if (building == Building::Now)
        build();
}

void DirectoryChooser::buildControls() {
    ui.setupUi(this);
    ui.directoryList->setItemDelegate(new DirectoryLines(ui.directoryList));
    ui.directoryList->setIconSize(QSize(kItemHeight - 2, kItemHeight - 2));
    whenClicked(ui.confirmButton, &DirectoryChooser::confirm);
    whenClicked(ui.cancelButton, &DirectoryChooser::cancel);
    connect(ui.driveBox, &QComboBox::activated, this, [this] { run([this] { driveChosen(); }); });
    connect(ui.directoryList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const std::string path = zel::fromQt(item->data(kPathRole).toString());
        run([this, path] { openLine(path); });
    });
    folderOpen_ = QIcon(zel::ownPicture("folder_open.xpm"));
    folderClosed_ = QIcon(zel::ownPicture("folder_closed.xpm"));
    finishLayout(ui.directoryList);
    const QIcon driveIcon(zel::ownPicture("drive.xpm"));
    for (const char letter : drives_)
        ui.driveBox->addItem(driveIcon, QString(QLatin1Char(lowerCase(letter))) + ':',
                             QVariant(QLatin1Char(upperCase(letter))));
    showDriveOfList();
    fillLines();
    showDirectory();
}

void DirectoryChooser::create() {
    zel::Platform& platform = platform_;
    drives_ = platform.files.listDrives();
    // The working directory the program started in.
    directory_ = platform.machine.currentDirectory();
    lastOnDrive_[upperCase(directory_.front())] = directory_;
}

void DirectoryChooser::onShow() {
    // Where the user left it, with the sub-directories as they are now.
    showDriveOfList();
    fillLines();
    showDirectory();
}

void DirectoryChooser::showDriveOfList() {
    const int index = ui.driveBox->findData(QVariant(QLatin1Char(upperCase(directory_.front()))));
    if (index >= 0)
        ui.driveBox->setCurrentIndex(index);
}

void DirectoryChooser::fillLines() {
    zel::Files& files = platform_.files;
    QListWidget& list = *ui.directoryList;
    list.clear();

    const auto addLine = [&](const QIcon& icon, const std::string& text, const std::string& path,
                             int level) {
        auto* item = new QListWidgetItem(icon, zel::toQt(text), &list);
        item->setData(kPathRole, zel::toQt(path));
        item->setData(kLevelRole, level);
        return item;
    };

    // The path from the root down to the directory, then its sub-directories.
    std::string path = directory_.substr(0, 3); // "C:\"
    QListWidgetItem* current =
        addLine(folderOpen_, std::string{lowerCase(path[0]), ':', '\\'}, path, 0);
    int level = 0;
    std::size_t from = 3;
    while (from < directory_.size()) {
        std::size_t end = directory_.find('\\', from);
        if (end == std::string::npos)
            end = directory_.size();
        const std::string name = directory_.substr(from, end - from);
        path = directory_.substr(0, end);
        current = addLine(folderOpen_, name, path, ++level);
        from = end + 1;
    }
    const std::string parent = zel::withTrailingBackslash(directory_);
    for (const std::string& name : files.listSubdirectories(directory_))
        addLine(folderClosed_, name, parent + name, level + 1);
    list.setCurrentItem(current);
    list.scrollToItem(current);
}

void DirectoryChooser::changeDirectory(const std::string& path) {
    zel::Platform& platform = platform_;
    zel::Machine& machine = platform.machine;
    const std::string previous = machine.currentDirectory();
    platform.files.enter(path); // raises when it cannot be reached
    const std::string entered = machine.currentDirectory();
    machine.setCurrentDirectory(previous);

    directory_ = entered;
    lastOnDrive_[upperCase(directory_.front())] = directory_;
    fillLines();
    showDirectory();
}

void DirectoryChooser::openLine(const std::string& path) {
    if (path == directory_)
        return;
    changeDirectory(path);
}

void DirectoryChooser::showDirectory() {
    ui.directoryLabel->setText(zel::toQt(directory_));
}

void DirectoryChooser::driveChosen() {
    const char letter = ui.driveBox->currentData().toChar().toLatin1();
    if (letter == upperCase(directory_.front()))
        return;
    zel::Platform& platform = platform_;
    const auto last = lastOnDrive_.find(letter);
    const std::string target =
        last != lastOnDrive_.end() ? last->second : platform.files.currentDirectoryOf(letter);
    const auto moveTo = [this](const std::string& path) {
        try {
            changeDirectory(path);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    };
    // A directory that went away meanwhile should not lock the user out of its drive.
    const std::string root{letter, ':', '\\'};
    if (!moveTo(target) && (target == root || !moveTo(root)))
        platform.ui.messageBox(zel::kUnavailableDirectory, zel::kUnavailableDirectoryCaption,
                               zel::MsgButtons::Ok);
}

void DirectoryChooser::confirm() {
    finish(zel::ModalResult::Confirm);
}

void DirectoryChooser::cancel() {
    finish(zel::ModalResult::Other);
}

} // namespace zel
