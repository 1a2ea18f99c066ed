#pragma once
// The wizard's start-up, before any page is built: the kit's catalogue, its start sound, and
// the choices the pages begin with, proposed by the kit and by the machine.
#include "services/sound.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "winemu/files.h"
#include "winemu/machine.h"

#include <string>
#include <string_view>

namespace zel {

// A string value of HKEY_LOCAL_MACHINE, read from a key opened without creating it and closed
// again. A missing key or value, a value that is no string, or a registry that cannot be
// read all give the empty text: the wizard's start-up reports nothing.
std::string readRegistryText(const Machine& machine, std::string_view key, std::string_view value);

// The default destination under the machine's program-files directory: a directory with a
// drive ("C:\Program Files") replaces the destination's drive, and the directory goes in
// front of the destination in every case ("" leaves it as it is).
std::string underProgramFiles(std::string_view destino, std::string_view programFilesDir);

// The dial command proposed whatever the machine holds.
inline constexpr const char* kProposedDialCommand = "ATDP5550100";

// The modem settings the machine's registry proposes for its first modem: the port from the
// fourth character of its AttachedTo ("COM2" and the like; anything but 1 to 4 there is no
// port), its first initialisation command, and the proposed dial command. Each stands on its
// own: a value that cannot be read leaves its setting empty.
ModemSettings proposedModem(const Machine& machine);

// The choices the pages start from: the typical installation, the kit's selection of
// programs, its destination under the machine's program-files directory, the first browser
// where its configuration program is already installed (the second otherwise), and the
// proposed modem.
Choices initialChoices(Files& files, const Catalogue& catalogue);

// Reads the catalogue from the setup description file beside the running program, starts the
// kit's start sound, and gives the initial choices.
Choices startUp(Files& files, Sound& sound, Catalogue& catalogue);

} // namespace zel
