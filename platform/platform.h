#pragma once
// Everything the wizard's pages and logic use of the machine, built once in main.
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/printer.h"
#include "platform/progman_client.h"
#include "platform/programs.h"
#include "platform/sound.h"
#include "platform/ui.h"

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
