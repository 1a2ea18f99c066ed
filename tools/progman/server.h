#pragma once
// The Program Manager server: one per prefix, serving the conversation "PROGMAN"/"PROGMAN" on
// the prefix's socket and keeping the groups in the prefix's store.
#include <filesystem>

namespace zel::progman {

struct ServerOptions {
    std::filesystem::path prefix;
    // The server leaves after this long with no conversation open.
    double idleSeconds = 60;
};

// Serves until idle or ExitProgman. 0 on a normal end, also when another server already
// serves this prefix; 1 when the store or the socket is unusable (with a message on stderr).
int serve(const ServerOptions& options);

} // namespace zel::progman
