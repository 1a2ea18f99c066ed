#include "pages/qt_found_files.h"

#include "qt/qt_text.h"

#include <QListWidget>

namespace zel {

// Code page 1252 comes back unchanged from its Qt form, so the items are the paths as found.
void ListBoxFoundFiles::append(const std::string& path) {
    listBox_.addItem(toQt(path));
}

int ListBoxFoundFiles::count() const {
    return listBox_.count();
}

std::string ListBoxFoundFiles::item(int index) const {
    const QListWidgetItem* entry = listBox_.item(index);
    return entry ? fromQt(entry->text()) : std::string();
}

void ListBoxFoundFiles::clear() {
    listBox_.clear();
}

} // namespace zel
