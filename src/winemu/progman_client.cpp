#include "winemu/progman_client.h"

#include "winemu/cp1252.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

namespace {

// Show mode of the fallback start: minimised, not activated.
constexpr int kShowMinNoActive = 7;
// How long the fallback start may take before Program Manager accepts conversations.
constexpr int kStartupWaitMs = 5000;
// How long close() waits for Program Manager to confirm that it executed everything.
constexpr int kDeliveryWaitMs = 5000;

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Program Manager is the only server on this machine; an empty service or topic stands for
// any, as with the platform's conversations.
bool servedHere(std::string_view service, std::string_view topic) {
    return (service.empty() || equalsNoCase(service, "PROGMAN")) &&
           (topic.empty() || equalsNoCase(topic, "PROGMAN"));
}

} // namespace

std::string progmanSocketPath(const fs::path& prefix) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(prefix, ec), ec);
    if (ec)
        canonical = prefix.lexically_normal();
    std::string path = (canonical / "progman.sock").string();
    if (path.size() < sizeof(sockaddr_un::sun_path))
        return path;
    char name[40];
    std::snprintf(name, sizeof name, "zel-progman-%016llx",
                  static_cast<unsigned long long>(fnv1a(canonical.string())));
    return std::string(1, '\0') + name;
}

std::string progmanSocketPath(const Machine& machine) {
    return progmanSocketPath(machine.prefix());
}

unsigned progmanSocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::size_t size = std::min(path.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path, path.data(), size);
    // An abstract name counts by its length; a path by its terminating NUL.
    if (!path.empty() && path[0] == '\0')
        return static_cast<unsigned>(offsetof(sockaddr_un, sun_path) + size);
    return static_cast<unsigned>(sizeof address);
}

DdeConversation::~DdeConversation() {
    close();
}

bool DdeConversation::connect() {
    if (!servedHere(service_, topic_))
        return false;
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return false;
    sockaddr_un address{};
    unsigned length = progmanSocketAddress(progmanSocketPath(m_), address);
    int rc;
    do {
        rc = ::connect(socket.get(), reinterpret_cast<sockaddr*>(&address), length);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return false;
    socket_ = std::move(socket);
    return true;
}

bool DdeConversation::connectWithin(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (connect())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool DdeConversation::open(std::string_view service, std::string_view topic) {
    close();
    if (service.empty() && topic.empty())
        return false;
    service_ = service;
    topic_ = topic;
    if (connect())
        return true;
    // Nobody answers: start the server and connect once more. The platform's start returns
    // only when the new program is ready for input; ours returns at once, so the second
    // attempt gives the program a moment to start listening instead of losing every macro
    // of a first installation.
    std::string commandLine = service_ + " " + topic_;
    if (programs_.winExec(commandLine, kShowMinNoActive) >= 32 && connectWithin(kStartupWaitMs))
        return true;
    service_.clear();
    topic_.clear();
    return false;
}

bool DdeConversation::execute(std::string_view macro, bool wait) {
    // Every execute is handed over without waiting for its outcome, which Program Manager
    // never reports; a synchronous one is delivered the same way.
    (void)wait;
    if (!socket_)
        return false;
    if (macro.size() + 1 > kMaxMacroPacket)
        return false;
    const auto size = static_cast<std::uint32_t>(macro.size() + 1);
    std::string packet;
    packet.reserve(4 + size);
    for (int i = 0; i < 4; ++i)
        packet += static_cast<char>((size >> (8 * i)) & 0xFF);
    packet.append(macro);
    packet += '\0';
    if (!sendAll(socket_.get(), packet.data(), packet.size())) {
        socket_.reset(); // the server is gone; what follows cannot be delivered either
        return false;
    }
    return true;
}

void DdeConversation::close() {
    if (!socket_)
        return;
    // End of input tells the server that nothing more comes; it closes its side once it has
    // executed everything before it, so the macros are delivered when this returns.
    ::shutdown(socket_.get(), SHUT_WR);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kDeliveryWaitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{socket_.get(), POLLIN, 0};
        int rc = ::poll(&p, 1, static_cast<int>(left.count()));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            break;
        char buffer[256];
        ssize_t n = ::recv(socket_.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the server's end: everything executed (or the server is gone)
    }
    socket_.reset();
    service_.clear();
    topic_.clear();
}

} // namespace zel
