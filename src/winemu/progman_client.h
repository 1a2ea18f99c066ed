#pragma once
// The conversation with Program Manager (service and topic "PROGMAN").
#include "winemu/host_file.h"
#include "winemu/programs.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>

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
    // Hands the macro text over and returns at once; false when no conversation is open or
    // the text is too long for one macro.
    bool execute(std::string_view macro, bool wait = false);
    // Every macro handed over is delivered before the conversation ends.
    void close();
    // One entry for each execute since the last open, in order: whether Program Manager
    // executed the macro and stored its groups. Final once the conversation is closed.
    const std::vector<bool>& deliveries() const { return deliveries_; }

private:
    bool connect();
    bool connectWithin(int milliseconds);
    // Takes the outcomes the server has sent; waits for them up to the deadline when given.
    // False when the server's side has ended.
    bool takeOutcomes(int waitMilliseconds);
    // Tells the installation's listeners what became of a macro; the ones still awaited are
    // not delivered.
    void reportOutcome(std::size_t entry) const;
    void dropAwaiting();

    Machine& m_;
    Programs& programs_;
    FileDescriptor socket_;
    std::string service_, topic_;
    std::vector<bool> deliveries_;
    std::vector<std::string> macros_;  // the text of each entry of deliveries_
    std::deque<std::size_t> awaiting_; // entries of deliveries_ whose outcome has not come yet
};

// The local socket on which Program Manager listens: <prefix>/progman.sock, always a path in
// the prefix (never an abstract name, which any user could reach or take first). Only the
// prefix's user reaches it: the server creates it with mode 0600, and each end checks that the
// other runs as the same user. Client and server both derive it from the prefix.
std::filesystem::path progmanSocketPath(const Machine& machine);
std::filesystem::path progmanSocketPath(const std::filesystem::path& prefix);

// The address of a socket path for bind and connect, valid while it lives. A path too long for
// a socket address is reached through a descriptor of its directory (/proc/self/fd/N/NAME).
class LocalSocketAddress {
public:
    // Raises PlatformError when the directory of a long path cannot be opened.
    explicit LocalSocketAddress(const std::filesystem::path& socketPath);
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
    socklen_t size() const { return size_; }

private:
    FileDescriptor directory_;
    sockaddr_un address_{};
    socklen_t size_ = 0;
};

// A socket connected to the Program Manager listening at the path; nothing when nobody
// listens there, or the one listening runs as another user.
std::optional<FileDescriptor> connectToProgman(const std::filesystem::path& socketPath);
// Whether the process at the other end of a connected local socket runs as this user.
bool peerIsThisUser(int socket);

// The conversation's wire format: each execute is a packet of a 4-byte little-endian length
// followed by that many bytes (the macro text and its NUL). The server answers each packet,
// in order, with one byte: '+' when it executed the text and stored the groups, '-' when not.
// It closes its side once it has answered everything that came before the client's end of
// input.
// A macro text is at most kMaxMacroText characters; a longer one is never handed over, and the
// server ends a conversation that sends a longer packet.
inline constexpr std::size_t kMaxMacroText = 512;
inline constexpr std::uint32_t kMaxMacroPacket = kMaxMacroText + 1;
// The packet of one execute; nothing for a macro too long for one.
std::optional<std::string> macroPacket(std::string_view macro);

} // namespace zel
