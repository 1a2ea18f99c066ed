#include "qt/qt_modules.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

namespace fs = std::filesystem;

// Owned by the running user and writable by nobody else.
bool ownAndClosed(const fs::path& dir) {
    struct stat info {};
    return ::stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The cache file names the project it configures on a line of its own.
bool isOurCache(const fs::path& cache) {
    std::ifstream in(cache);
    for (std::string line; std::getline(in, line);)
        if (line == "CMAKE_PROJECT_NAME:STATIC=zel-setup")
            return true;
    return false;
}

std::vector<fs::path> candidates(const std::string& module) {
    if (module.find('/') != std::string::npos)
        return {fs::path(module)};
    std::vector<fs::path> paths;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        paths.push_back(self.parent_path() / module);
        paths.push_back(installedModuleDir(self.parent_path()) / module);
        if (const std::optional<fs::path> bin = buildBinDirOf(self))
            paths.push_back(*bin / module);
    }
    if (const char* dir = std::getenv("ZEL_BIN_DIR"); dir && *dir)
        paths.push_back(fs::path(dir) / module);
    return paths;
}

} // namespace

fs::path installedModuleDir(const fs::path& programDir) {
    return programDir.parent_path() / "lib" / "zel-setup";
}

std::optional<fs::path> buildBinDirOf(const fs::path& program) {
    std::error_code ec;
    const fs::path file = fs::canonical(program, ec);
    if (ec)
        return std::nullopt;
    for (fs::path dir = file.parent_path();; dir = dir.parent_path()) {
        if (fs::exists(dir / "CMakeCache.txt", ec)) {
            const fs::path bin = dir / "bin";
            if (ownAndClosed(dir) && ownAndClosed(bin) && isOurCache(dir / "CMakeCache.txt"))
                return bin;
            return std::nullopt;
        }
        if (dir == dir.root_path() || dir.empty())
            return std::nullopt;
    }
}

void* moduleFunction(const std::string& module, const char* function, std::string& error) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    const std::vector<fs::path> paths = candidates(module);
    for (const fs::path& path : paths) {
        std::error_code ec;
        if (!fs::exists(path, ec))
            continue;
        // Never closed: the module's Qt objects and their meta-data must outlive every user.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = ::dlerror();
            error = reason ? reason : "cannot load ";
            if (!reason)
                error.append(path.string());
            return nullptr;
        }
        if (void* symbol = ::dlsym(handle, function))
            return symbol;
        // Built by appending: GCC 12 at -O3 sees a false overlap in chained string additions.
        error = path.string();
        error.append(": no function ").append(function);
        return nullptr;
    }
    error = "module ";
    error.append(module).append(" not found");
    if (!paths.empty()) {
        error += " (looked in";
        for (const fs::path& path : paths)
            error.append(" ").append(path.parent_path().string());
        error += ")";
    }
    return nullptr;
}

} // namespace zel
