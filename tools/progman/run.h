#pragma once
// "progman --run GROUP ITEM": starts an item's command line on the machine, as a double click
// on it in Program Manager would; the desktop's entries start the items this way.
namespace zel::progman {

// argv holds GROUP and ITEM after "--run" (UTF-8, as the entries give them), and N when the
// item is the N-th of several of that name in its group; "--prefix MACHINE" before "--run"
// names the machine ($ZEL_PREFIX or the default otherwise). 0 when the
// program was started, 1 when it could not be (with a message on stderr), 2 for a misuse.
int runItem(int argc, char** argv);

} // namespace zel::progman
