#include "tools/progman/server.h"

#include "progman/store.h"
#include "tools/progman/desktop.h"
#include "winemu/errors.h"
#include "winemu/files.h"
#include "winemu/host_file.h"
#include "winemu/machine.h"
#include "winemu/progman_client.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zel::progman {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Read by the menu's thread too: an atomic that needs no lock is safe in a signal handler.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int) {
    stopSignal = 1;
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: poll returns and the loop notices
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

struct Connection {
    FileDescriptor socket;
    std::string buffer; // received, not yet a whole packet
    std::string outbox; // each packet's outcome, not yet sent
    bool inputEnded = false;
};

// The outcome of each packet, in order: executed and stored, or not.
constexpr char kStored = '+';
constexpr char kNotStored = '-';
// A conversation that does not take its outcomes is not read from until it does.
constexpr std::size_t kMaxOutbox = 64 * 1024;

// Conversations served at once: one more waits in the listening queue until one ends.
constexpr std::size_t kMaxConnections = 32;
// What one conversation may hand over before the others get their turn.
constexpr std::size_t kReadPerTurn = 64 * 1024;
// How long accepting pauses when it fails for want of descriptors or memory: the pending
// conversation stays readable, and accepting again at once would only spin.
constexpr auto kAcceptPause = std::chrono::milliseconds(200);

// The desktop's menu, made on a thread of its own: a conversation never waits for it. The
// thread takes the latest groups it was shown, a group's files at a time, and leaves a state
// half made as soon as a newer one comes. It takes no signal: they all reach the server's loop.
class MenuWorker {
public:
    explicit MenuWorker(DesktopMirror config) : menu_(stoppable(std::move(config))) {
        sigset_t all, old;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &old);
        thread_ = std::thread([this] { run(); });
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    ~MenuWorker() { end(false); }
    MenuWorker(const MenuWorker&) = delete;
    MenuWorker& operator=(const MenuWorker&) = delete;

    void show(const Groups& groups) {
        Groups copy = groups; // outside the lock
        const std::lock_guard lock(mutex_);
        next_ = std::move(copy);
        wake_.notify_one();
    }

    // Waits until the menu shows the last groups (finish) or only for the file being written,
    // the rest left to the next server; a stop signal meanwhile ends the wait the second way.
    void end(bool finish) {
        {
            const std::lock_guard lock(mutex_);
            ending_ = true;
            if (!finish)
                cancel_ = true;
            wake_.notify_one();
        }
        if (thread_.joinable())
            thread_.join();
    }

    // The menu's own stop: a signal, or the server leaving at once.
    bool stopRequested() const { return stopSignal != 0 || cancel_; }

private:
    DesktopMirror stoppable(DesktopMirror config) {
        config.stopRequested = [this] { return stopRequested(); };
        return config;
    }

    void run() {
        try {
            for (;;) {
                std::optional<Groups> groups;
                {
                    std::unique_lock lock(mutex_);
                    if (!menu_.pending())
                        wake_.wait(lock, [this] { return next_ || ending_; });
                    if (stopRequested())
                        return;
                    groups.swap(next_);
                    if (!groups && !menu_.pending())
                        return; // ending, and the menu is made
                }
                if (groups)
                    menu_.show(std::move(*groups));
                while (menu_.pending() && !stopRequested()) {
                    for (const std::string& problem : menu_.step())
                        std::cerr << "progman: desktop: " << problem << '\n';
                    const std::lock_guard lock(mutex_);
                    if (next_)
                        break; // newer groups first
                }
            }
        } catch (const std::exception& e) {
            // Memory ran out: the conversations go on, the next server makes the menu.
            std::cerr << "progman: desktop: " << e.what() << '\n';
        }
    }

    MenuMirror menu_; // the thread's alone
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Groups> next_; // shown, not taken yet
    bool ending_ = false;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

class Server {
public:
    Server(const ServerOptions& options, Groups groups)
        : options_(options), groups_(std::move(groups)), store_(storePath(options.prefix)) {
        if (auto places = desktopPlaces()) {
            std::error_code ec;
            menu_ = std::make_unique<MenuWorker>(
                DesktopMirror{*places,
                              fs::absolute(options.prefix, ec),
                              fs::read_symlink("/proc/self/exe", ec),
                              [this](const std::string& path) { return machineFile(path); },
                              {}});
            // Whatever changed the store meanwhile shows too.
            menu_->show(groups_);
        }
    }

    int run(FileDescriptor listening, const fs::path& socketPath) {
        listen_ = std::move(listening);
        socketPath_ = socketPath;
        auto idleSince = Clock::now();
        for (;;) {
            if (stopSignal != 0)
                beginStopping();
            if (stopping_) {
                acceptPending();
                if (connections_.empty())
                    break;
            }
            std::vector<pollfd> fds;
            // The listening socket sits out while the conversations are at their cap or
            // accepting has just failed; it is then polled as an unused descriptor.
            const bool accepting =
                connections_.size() < kMaxConnections && Clock::now() >= acceptPausedUntil_;
            fds.push_back({accepting ? listen_.get() : -1, POLLIN, 0});
            for (auto& c : connections_) {
                short events = 0;
                if (!c.inputEnded && c.outbox.size() < kMaxOutbox)
                    events |= POLLIN;
                if (!c.outbox.empty())
                    events |= POLLOUT;
                fds.push_back({c.socket.get(), events, 0});
            }
            int timeout = -1;
            if (connections_.empty()) {
                auto idle = std::chrono::duration<double>(options_.idleSeconds);
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(idleSince + idle -
                                                                                  Clock::now());
                if (left.count() <= 0) {
                    beginStopping();
                    continue;
                }
                timeout = static_cast<int>(left.count()) + 1;
            }
            if (!accepting && connections_.size() < kMaxConnections) {
                const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       acceptPausedUntil_ - Clock::now())
                                       .count() +
                                   1;
                timeout = timeout < 0 ? static_cast<int>(pause)
                                      : std::min(timeout, static_cast<int>(pause));
            }
            int rc = ::poll(fds.data(), fds.size(), timeout);
            if (rc < 0) {
                if (errno == EINTR)
                    continue;
                std::cerr << "progman: poll: " << std::strerror(errno) << '\n';
                beginStopping();
                continue;
            }
            if ((fds[0].revents & POLLIN) != 0)
                acceptPending();
            auto it = connections_.begin();
            for (std::size_t i = 1; i < fds.size(); ++i, ++it) {
                if (fds[i].revents == 0)
                    continue;
                // Closing tells the client that everything it handed over was executed; the
                // outcomes go first.
                if ((fds[i].revents & POLLIN) != 0)
                    readFrom(*it);
                if (!flush(*it) || (it->inputEnded && it->outbox.empty()))
                    it->socket.reset();
            }
            bool hadConnections = !connections_.empty();
            connections_.remove_if([](const Connection& c) { return !c.socket; });
            if (hadConnections && connections_.empty())
                idleSince = Clock::now();
        }
        const bool saved = save();
        // The menu is finished before leaving, unless a signal asked to end now: the next
        // server's first pass does what is left.
        if (menu_)
            menu_->end(stopSignal == 0);
        return saved ? 0 : 1;
    }

private:
    // No new conversations from here on: the socket's name goes first, so a client that comes
    // now starts a new server instead of reaching one that is leaving; conversations already
    // connected (also those still waiting to be accepted) are served to their end.
    void beginStopping() {
        if (stopping_)
            return;
        stopping_ = true;
        ::unlink(socketPath_.c_str());
    }

    void acceptPending() {
        while (connections_.size() < kMaxConnections) {
            FileDescriptor socket(
                ::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!socket) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    std::cerr << "progman: accept: " << std::strerror(errno) << '\n';
                    acceptPausedUntil_ = Clock::now() + kAcceptPause;
                }
                return; // EAGAIN: nobody else waiting
            }
            if (!peerIsThisUser(socket.get())) {
                std::cerr << "progman: a conversation from another user was refused\n";
                continue;
            }
            connections_.emplace_back().socket = std::move(socket);
        }
    }

    // Takes one turn of what the conversation handed over; its end marks the input ended.
    void readFrom(Connection& c) {
        char chunk[16384];
        for (std::size_t taken = 0; taken < kReadPerTurn; taken += sizeof chunk) {
            const ssize_t n =
                uninterrupted([&] { return ::recv(c.socket.get(), chunk, sizeof chunk, 0); });
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n <= 0) {
                // Everything before the end has been executed as it came. An incomplete last
                // packet was never handed over whole.
                c.inputEnded = true;
                return;
            }
            c.buffer.append(chunk, static_cast<std::size_t>(n));
            if (!executePackets(c)) {
                // Nothing after it is taken; the outcomes before it still go out.
                std::cerr << "progman: a conversation sent a malformed packet; it is ended\n";
                c.buffer.clear();
                c.inputEnded = true;
                return;
            }
        }
        // More may be waiting: it comes on the next turn.
    }

    bool executePackets(Connection& c) {
        std::size_t pos = 0;
        while (c.buffer.size() - pos >= 4) {
            std::uint32_t size = 0;
            for (int i = 0; i < 4; ++i)
                size |= static_cast<std::uint32_t>(static_cast<unsigned char>(c.buffer[pos + i]))
                        << (8 * i);
            if (size == 0 || size > kMaxMacroPacket)
                return false;
            if (c.buffer.size() - pos - 4 < size)
                break;
            std::string_view data(c.buffer.data() + pos + 4, size);
            c.outbox += execute(data.substr(0, data.find('\0'))) ? kStored : kNotStored;
            pos += 4 + size;
        }
        c.buffer.erase(0, pos);
        return true;
    }

    // Whether the text was executed whole and its outcome stored.
    bool execute(std::string_view text) {
        const bool executed = groups_.execute(text);
        unsaved_ = true;
        const bool saved = save();
        if (groups_.exitRequested())
            beginStopping();
        return executed && saved;
    }

    // Sends what the outbox holds as far as the socket takes it; false when the client is gone.
    static bool flush(Connection& c) {
        while (!c.outbox.empty()) {
            const ssize_t n = uninterrupted([&] {
                return ::send(c.socket.get(), c.outbox.data(), c.outbox.size(),
                              MSG_NOSIGNAL | MSG_DONTWAIT);
            });
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            if (n <= 0)
                return false;
            c.outbox.erase(0, static_cast<std::size_t>(n));
        }
        return true;
    }

public:
    // Writes the groups when they changed since the last successful save; a failure keeps
    // them in memory for the next change or the end of the server. False when they are unsaved.
    bool save() {
        if (!unsaved_)
            return true;
        try {
            saveStore(store_, groups_);
            unsaved_ = false;
            if (menu_)
                menu_->show(groups_);
        } catch (const std::exception& e) {
            // Whatever failed (a file, memory), the groups stay in memory for the next try.
            std::cerr << "progman: " << e.what() << '\n';
        }
        return !unsaved_;
    }

private:
    // A file of the machine, for the items' icons (asked by the menu's thread alone). The
    // machine is opened when first needed with its "program" on C:, so no other drive is
    // mounted for it.
    std::optional<std::string> machineFile(const std::string& winPath) {
        constexpr std::size_t kMaxIcon = 1 << 20;
        try {
            if (!machine_) {
                const fs::path c = options_.prefix / "drive_c";
                machine_ = std::make_unique<Machine>(
                    Machine::Options{options_.prefix, c / "WINDOWS" / "PROGMAN.EXE", c, {}});
            }
            return readDriveFile(*machine_, winPath, kMaxIcon);
        } catch (const PlatformError& e) {
            std::cerr << "progman: desktop: " << e.what() << '\n';
            return std::nullopt;
        }
    }

    ServerOptions options_;
    Groups groups_;
    fs::path store_;
    FileDescriptor listen_;
    fs::path socketPath_;
    std::list<Connection> connections_;
    bool stopping_ = false;
    bool unsaved_ = false;
    Clock::time_point acceptPausedUntil_{};
    std::unique_ptr<Machine> machine_; // the menu's thread's
    std::unique_ptr<MenuWorker> menu_; // ended before the machine goes
};

// Takes the prefix's server lock: its descriptor, held while serving, or nothing when another
// server serves the prefix. One that holds the lock without answering is on its way out, so
// this one waits for it. Raises PlatformError when the lock cannot be taken at all.
std::optional<FileDescriptor> takeLock(const fs::path& prefix, const fs::path& socketPath) {
    const fs::path lockFile = prefix / "progman.lock";
    const auto fail = [&] {
        return PlatformError(lockFile.string() + ": " + std::strerror(errno));
    };
    FileDescriptor lock(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock)
        throw fail();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) {
            // The lock file names the serving process, for people and scripts that look.
            std::string pid = std::to_string(::getpid()) + "\n";
            if (::ftruncate(lock.get(), 0) != 0 ||
                ::pwrite(lock.get(), pid.data(), pid.size(), 0) < 0)
                std::cerr << "progman: " << fail().what() << '\n';
            return lock;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            throw fail();
        if (connectToProgman(socketPath) || Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

// The listening socket, bound to the socket path with mode 0600: only this user may connect.
FileDescriptor listenOn(const fs::path& socketPath) {
    FileDescriptor listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listening)
        throw PlatformError(std::string("socket: ") + std::strerror(errno));
    ::unlink(socketPath.c_str()); // left by a server that did not end normally
    const LocalSocketAddress address(socketPath);
    // The socket takes its mode from the umask at bind; the server has no other thread yet
    // that could create a file meanwhile.
    const mode_t umask = ::umask(0177);
    const int bound = ::bind(listening.get(), address.get(), address.size());
    const int bindError = errno;
    ::umask(umask);
    if (bound != 0)
        throw PlatformError(socketPath.string() + ": " + std::strerror(bindError));
    if (::listen(listening.get(), 64) != 0)
        throw PlatformError(socketPath.string() + ": " + std::strerror(errno));
    return listening;
}

} // namespace

int serve(const ServerOptions& options) {
    installSignals();
    std::error_code ec;
    fs::create_directories(options.prefix, ec);
    const fs::path socketPath = progmanSocketPath(options.prefix);
    try {
        Machine::refuseForeignPrefix(options.prefix);
        const std::optional<FileDescriptor> lock = takeLock(options.prefix, socketPath);
        if (!lock)
            return 0;
        // Listening comes first: a client that comes while the store is read waits in the
        // queue, where it is sure to be served, rather than finding nobody.
        FileDescriptor listening = listenOn(socketPath);
        try {
            // Never overwrite a store that cannot be read: its groups would be lost.
            Server server(options, loadStore(storePath(options.prefix)));
            return server.run(std::move(listening), socketPath);
        } catch (...) {
            ::unlink(socketPath.c_str()); // nobody will answer there
            throw;
        }
    } catch (const PlatformError& e) {
        std::cerr << "progman: " << e.what() << '\n';
        return 1;
    }
}

} // namespace zel::progman
