#include "winemu/desktop_places.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

namespace {

fs::path homeDirectory() {
    if (const char* h = std::getenv("HOME"); h != nullptr && *h == '/')
        return h;
    if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr)
        return user->pw_dir;
    return {};
}

// An XDG base directory: the variable when it holds an absolute path, else the home's default.
fs::path baseDirectory(const char* variable, const fs::path& home, const char* fallback) {
    if (const char* v = std::getenv(variable); v != nullptr && *v == '/')
        return v;
    return home.empty() ? fs::path() : home / fallback;
}

// The system's error that writing in the directory (made where missing) would meet; 0 for none.
int cannotWriteIn(fs::path dir) {
    for (;;) {
        struct stat st {};
        if (::stat(dir.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return ENOTDIR;
            return ::access(dir.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
        }
        if (errno != ENOENT)
            return errno;
        if (!dir.has_relative_path())
            return ENOENT;
        dir = dir.parent_path();
    }
}

} // namespace

std::optional<DesktopPlaces> desktopPlaces() {
    if (const char* off = std::getenv("ZEL_NO_DESKTOP");
        off != nullptr && *off != '\0' && std::strcmp(off, "0") != 0)
        return std::nullopt;
    const fs::path home = homeDirectory();
    const fs::path data = baseDirectory("XDG_DATA_HOME", home, ".local/share");
    const fs::path config = baseDirectory("XDG_CONFIG_HOME", home, ".config");
    if (data.empty() || config.empty())
        return std::nullopt;
    return DesktopPlaces{data / "applications" / "zel-setup", data / "desktop-directories",
                         data / "icons" / "hicolor", config / "menus" / "applications-merged"};
}

std::optional<std::string> desktopPlacesProblem(const DesktopPlaces& places) {
    for (const fs::path* place :
         {&places.entries, &places.directories, &places.icons, &places.menus}) {
        if (const int error = cannotWriteIn(*place))
            return utf8ToCp1252(place->string()) + " (" + systemReason(error) + ")";
    }
    return std::nullopt;
}

} // namespace zel
