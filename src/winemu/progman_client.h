#pragma once
// The conversation with Program Manager (service and topic "PROGMAN").
#include "winemu/host_file.h"
#include "winemu/programs.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

struct sockaddr_un;

namespace zel {

class DdeConversation {
public:
    DdeConversation(Machine& machine, Programs& programs) : m_(machine), programs_(programs) {}
    ~DdeConversation();
    DdeConversation(const DdeConversation&) = delete;
    DdeConversation& operator=(const DdeConversation&) = delete;

    // Closes any open conversation, then connects; when nobody answers, starts
    // "SERVICE TOPIC" without waiting (show mode 7) and connects once more.
    bool open(std::string_view service, std::string_view topic);
    // Hands the macro text over and returns at once; false when no conversation is open.
    bool execute(std::string_view macro, bool wait = false);
    // Every macro handed over is delivered before the conversation ends.
    void close();
    bool isOpen() const { return static_cast<bool>(socket_); }

private:
    bool connect();
    bool connectWithin(int milliseconds);

    Machine& m_;
    Programs& programs_;
    FileDescriptor socket_;
    std::string service_, topic_;
};

// The local socket on which Program Manager listens: <prefix>/progman.sock. When that path is
// too long for a socket address, an abstract name derived from the prefix (it begins with a
// NUL byte). Client and server both derive it from the prefix.
std::string progmanSocketPath(const Machine& machine);
std::string progmanSocketPath(const std::filesystem::path& prefix);
// Fills the address for a socket path from progmanSocketPath; the length to pass to
// bind/connect.
unsigned progmanSocketAddress(const std::string& path, sockaddr_un& address);

// The conversation's wire format: each execute is a packet of a 4-byte little-endian length
// followed by that many bytes (the macro text and its NUL). The server answers nothing; it
// closes its side once it has executed everything that came before the client's end of input.
inline constexpr std::uint32_t kMaxMacroPacket = 1u << 20;

} // namespace zel
