#pragma once
// The socket-library sweep's list of found files, kept in the connection page's hidden list box.
#include "setup/network_stack.h"

class QListWidget;

namespace zel {

class ListBoxFoundFiles : public FoundFilesList {
public:
    explicit ListBoxFoundFiles(QListWidget& listBox) : listBox_(listBox) {}
    void append(const std::string& path) override; // code page 1252
    int count() const override;
    std::string item(int index) const override; // "" outside 0..count-1
    void clear() override;

private:
    QListWidget& listBox_;
};

} // namespace zel
