#pragma once
// Everything the wizard's pages and logic use of the machine, built once in main.
#include "services/printer.h"
#include "services/sound.h"
#include "services/ui.h"
#include "winemu/files.h"
#include "winemu/machine.h"
#include "winemu/progman_client.h"
#include "winemu/programs.h"

namespace zel {

struct Platform {
    Platform(Machine& machine, UiServices& ui, Printer& printer, Sound& sound)
        : machine(machine), files(machine), ui(ui), printer(printer), sound(sound),
          programs(machine, ui), progman(machine, programs) {}

    Machine& machine;
    Files files;
    UiServices& ui;
    Printer& printer;
    Sound& sound;
    Programs programs;
    DdeConversation progman;
};

} // namespace zel
