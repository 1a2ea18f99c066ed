#include "winemu/progman_client.h"

#include "winemu/events.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
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

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = uninterrupted([&] { return ::send(fd, data, size, MSG_NOSIGNAL); });
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

fs::path progmanSocketPath(const fs::path& prefix) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(prefix, ec), ec);
    if (ec)
        canonical = prefix.lexically_normal();
    return canonical / "progman.sock";
}

fs::path progmanSocketPath(const Machine& machine) {
    return progmanSocketPath(machine.prefixPath());
}

LocalSocketAddress::LocalSocketAddress(const fs::path& socketPath) {
    address_.sun_family = AF_UNIX;
    std::string path = socketPath.string();
    if (path.size() >= sizeof address_.sun_path) {
        const fs::path dir = socketPath.parent_path();
        directory_.reset(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!directory_)
            throw PlatformError(dir.string() + ": " + std::strerror(errno));
        path = "/proc/self/fd/" + std::to_string(directory_.get()) + "/" +
               socketPath.filename().string();
        if (path.size() >= sizeof address_.sun_path)
            throw PlatformError(socketPath.string() + ": " + std::strerror(ENAMETOOLONG));
    }
    std::memcpy(address_.sun_path, path.c_str(), path.size() + 1);
    size_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
}

bool peerIsThisUser(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::geteuid();
}

std::optional<FileDescriptor> connectToProgman(const fs::path& socketPath) {
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return std::nullopt;
    int rc;
    try {
        const LocalSocketAddress address(socketPath);
        rc = uninterrupted([&] { return ::connect(socket.get(), address.get(), address.size()); });
    } catch (const PlatformError&) {
        return std::nullopt; // a prefix that cannot be opened has nobody listening for us
    }
    if (rc != 0 || !peerIsThisUser(socket.get()))
        return std::nullopt;
    return socket;
}

std::optional<std::string> macroPacket(std::string_view macro) {
    if (macro.size() + 1 > kMaxMacroPacket)
        return std::nullopt;
    const auto size = static_cast<std::uint32_t>(macro.size() + 1);
    std::string packet;
    packet.reserve(4 + size);
    for (int i = 0; i < 4; ++i)
        packet += static_cast<char>((size >> (8 * i)) & 0xFF);
    packet.append(macro);
    packet += '\0';
    return packet;
}

DdeConversation::~DdeConversation() {
    close();
}

bool DdeConversation::connect() {
    if (!servedHere(service_, topic_))
        return false;
    auto socket = connectToProgman(progmanSocketPath(m_));
    if (!socket)
        return false;
    socket_ = std::move(*socket);
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
    deliveries_.clear();
    macros_.clear();
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
    // Told before it goes: whoever journals it must know before Program Manager can act.
    InstallEvent sending{InstallEvent::Kind::MacroSending};
    sending.path = macro;
    report(sending);
    deliveries_.push_back(false);
    macros_.emplace_back(macro);
    const std::optional<std::string> packet = macroPacket(macro);
    if (!socket_ || !packet) {
        reportOutcome(deliveries_.size() - 1);
        return false;
    }
    if (!sendAll(socket_.get(), packet->data(), packet->size())) {
        socket_.reset(); // the server is gone; what follows cannot be delivered either
        awaiting_.push_back(deliveries_.size() - 1);
        dropAwaiting();
        return false;
    }
    awaiting_.push_back(deliveries_.size() - 1);
    takeOutcomes(0); // keeps the server's answers from piling up
    return true;
}

bool DdeConversation::takeOutcomes(int waitMilliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{socket_.get(), POLLIN, 0};
        const int rc = ::poll(&p, 1, std::max<int>(0, static_cast<int>(left.count())));
        if (rc < 0 && errno == EINTR)
            continue; // the time left is measured again
        if (rc <= 0)
            return true; // nothing more for now
        char buffer[256];
        const ssize_t n = ::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            return false; // the server's end: everything answered (or the server is gone)
        for (ssize_t i = 0; i < n && !awaiting_.empty(); ++i) {
            deliveries_[awaiting_.front()] = buffer[i] == '+';
            reportOutcome(awaiting_.front());
            awaiting_.pop_front();
        }
    }
}

void DdeConversation::reportOutcome(std::size_t entry) const {
    InstallEvent event{InstallEvent::Kind::Macro};
    event.path = macros_.at(entry);
    event.ok = deliveries_.at(entry);
    report(event);
}

void DdeConversation::dropAwaiting() {
    for (const std::size_t entry : awaiting_)
        reportOutcome(entry);
    awaiting_.clear();
}

void DdeConversation::close() {
    if (!socket_)
        return;
    // End of input tells the server that nothing more comes; it closes its side once it has
    // executed everything before it, so the macros are delivered when this returns.
    ::shutdown(socket_.get(), SHUT_WR);
    takeOutcomes(kDeliveryWaitMs);
    // What was not answered by now was not delivered.
    dropAwaiting();
    socket_.reset();
    service_.clear();
    topic_.clear();
}

} // namespace zel
