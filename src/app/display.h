#pragma once
// Whether a window could be shown, asked before Qt is started: Qt without a display to connect
// to aborts the program, which a wizard or an uninstaller must never do to its user.
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zel {

// Whether a server takes a connection at the address, waiting at most two seconds: a stale
// socket file or a display another host no longer serves refuses or stays silent.
inline bool acceptsConnection(const sockaddr* address, socklen_t length) {
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool connected = ::connect(fd, address, length) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::poll(&waiting, 1, 2000) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return connected;
}

// An X server's local socket, in the abstract namespace where servers also listen, or as a file.
inline bool localXServerAnswers(const std::string& number) {
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (bool abstract : {true, false}) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0; // a leading NUL names an abstract socket
        if (path.size() + offset >= sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path + offset, path.data(), path.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                                   path.size() + (abstract ? 0 : 1));
        if (acceptsConnection(reinterpret_cast<const sockaddr*>(&address), length))
            return true;
    }
    return false;
}

// Another host's X server, at TCP port 6000 + its number.
inline bool remoteXServerAnswers(const std::string& host, const std::string& number) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(6000 + std::stoi(number));
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return false;
    bool answers = false;
    for (const addrinfo* a = found; a && !answers; a = a->ai_next)
        answers = acceptsConnection(a->ai_addr, a->ai_addrlen);
    ::freeaddrinfo(found);
    return answers;
}

// True when QT_QPA_PLATFORM names a platform (the user's or the tests' choice, kept), or
// when WAYLAND_DISPLAY or DISPLAY names a display server that is there: a Wayland socket, or
// an X server that takes a connection (":0", "unix:0.1" locally, "host:0" over the network).
inline bool displayAvailable() {
    const auto variable = [](const char* name) -> std::string_view {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    const auto isSocket = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    };
    if (!variable("QT_QPA_PLATFORM").empty())
        return true;
    if (const std::string_view wayland = variable("WAYLAND_DISPLAY"); !wayland.empty()) {
        const std::string_view runtime = variable("XDG_RUNTIME_DIR");
        if (wayland.starts_with('/')
                ? isSocket(std::string(wayland))
                : !runtime.empty() && isSocket(std::string(runtime) + "/" + std::string(wayland)))
            return true;
    }
    std::string_view x = variable("DISPLAY");
    if (x.empty())
        return false;
    const std::size_t colon = x.rfind(':');
    if (colon == std::string_view::npos)
        return false;
    std::string host(x.substr(0, colon));
    const std::string_view number = x.substr(colon + 1, x.find('.', colon) - colon - 1);
    if (number.empty() || number.size() > 4 ||
        number.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    if (host.empty() || host == "unix")
        return localXServerAnswers(std::string(number));
    return remoteXServerAnswers(host, std::string(number));
}

} // namespace zel
