#pragma once
// Whether a window could be shown, asked before Qt is started: Qt without a display to connect
// to aborts the program, which a wizard or an uninstaller must never do to its user.
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace zel {

// True when QT_QPA_PLATFORM names a platform (the user's or the tests' choice, kept), or
// when WAYLAND_DISPLAY or DISPLAY names a display server whose socket is there. A local X
// display (":0", "unix:0.1") is looked for as /tmp/.X11-unix/X<n>; a remote one ("host:0")
// cannot be checked without connecting and is taken on trust.
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
    if (x.starts_with("unix:"))
        x.remove_prefix(4);
    if (!x.starts_with(':'))
        return true; // another host's display
    const std::string_view number = x.substr(1, x.find('.') - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    return isSocket("/tmp/.X11-unix/X" + std::string(number));
}

} // namespace zel
