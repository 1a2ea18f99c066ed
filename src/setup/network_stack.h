#pragma once
// Preparing the machine for the kit's dial-up socket stack (program entry 1): old socket
// libraries on the destination drive are moved out of the way before the copy, and the
// stack's settings and library are put in place after it.
#include "winemu/files.h"
#include "setup/catalogue.h"

#include <functional>
#include <string>
#include <string_view>

namespace zel {

// The list of found socket libraries; the connection page keeps it in its hidden list box.
class FoundFilesList {
public:
    virtual ~FoundFilesList() = default;
    virtual void append(const std::string& path) = 0;
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    virtual void clear() = 0;
};

// What the connection page collected.
struct ModemSettings {
    int portIndex = -1;      // 0..3 for COM1..COM4
    std::string initCommand; // modem initialisation command
    std::string dialCommand;
};

// The source directory less its last two components ("D:\KIT\WIN95\DISK1\" gives "D:\KIT"),
// or "" when it has fewer.
std::string kitRootFolder(std::string_view sourceDir);

// Renames every "~sock32.dll" and "~insock.dll" on the destination drive outside the kit's
// own folders to ".zel" (deleting it when the rename fails). `pump` lets the window repaint
// while the drive is walked.
void socketLibrarySweep(Files& files, const Catalogue& catalogue, std::string_view sourceDir,
                        FoundFilesList& list, const std::function<void()>& pump);

// Writes the port and modem commands into the stack's settings file and installs its library
// as the system's "~sock32.dll", keeping the previous one as "~sock32.zel". Silent on errors.
void dialerSettingsUpdate(Files& files, const Catalogue& catalogue, const ModemSettings& modem);

} // namespace zel
