#include "qt/qt_modules.h"

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include <dlfcn.h>

namespace zel {

namespace {

namespace fs = std::filesystem;

// Beside the program (an installed copy), where this build put the modules (a copy of the
// program on a kit medium has nothing beside it), and where the environment says.
std::vector<fs::path> candidates(const std::string& module) {
    if (module.find('/') != std::string::npos)
        return {fs::path(module)};
    std::vector<fs::path> paths;
    if (QCoreApplication::instance())
        paths.push_back(fs::path(QCoreApplication::applicationDirPath().toStdString()) / module);
#ifdef ZEL_MODULE_DIR
    paths.push_back(fs::path(ZEL_MODULE_DIR) / module);
#endif
    if (const char* dir = std::getenv("ZEL_BIN_DIR"); dir && *dir)
        paths.push_back(fs::path(dir) / module);
    return paths;
}

} // namespace

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
