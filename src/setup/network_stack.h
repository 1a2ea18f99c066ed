#pragma once
// Preparing the machine for the kit's dial-up socket stack (program entry 1): old socket
// libraries on the destination drive are moved out of the way before the copy, and the
// stack's settings and library are put in place after it.
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "winemu/files.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// The source directory less its last two components ("D:\KIT\WIN95\DISK1\" gives "D:\KIT"),
// or "" when it has fewer.
std::string kitRootFolder(std::string_view sourceDir);

// Renames every "~sock32.dll" and "~insock.dll" on the destination drive outside the kit's
// own folders to ".zel" (deleting it when the rename fails). `pump` lets the window repaint
// while the drive is walked. Returns the files found, in the order they were handled: every
// "~sock32.dll" before every "~insock.dll", each name in walk order.
std::vector<std::string> socketLibrarySweep(Files& files, const Catalogue& catalogue,
                                            std::string_view sourceDir,
                                            const std::function<void()>& pump);

// Why a file is no profile file the wizard could read, or nothing: binary content (a NUL byte)
// or no section line at all.
std::optional<std::string> notAProfile(const std::string& content);
// Why a file is no text a profile section can be appended to, or nothing: a NUL byte or
// another control character than tab, CR, LF and the end-of-file mark (a program, a help
// file, a library). An empty file or one without sections is text.
std::optional<std::string> notText(std::string_view content);

// Writes the port and modem commands into the stack's settings file and installs its library
// as the system's "~sock32.dll", keeping the previous one as "~sock32.zel". Raises when the
// settings cannot be written or the library is there and cannot be copied (the old library
// put back), and, doing nothing, for a settings file that is no text profile file (the entry is
// no dial-up stack): in each case the installation is not complete.
void dialerSettingsUpdate(Files& files, const Catalogue& catalogue, const ModemSettings& modem);

} // namespace zel
