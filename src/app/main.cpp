// zel-setup: the setup wizard of the ZEL Internet access kit.
#include "winemu/ui.h"
#include "app/start.h"
#include "winemu/cp1252.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// The Program Manager stand-in: beside the running program (an installed copy), or beside the
// file it names when it was started through a link, else where this build put it, else where
// the environment says.
fs::path progmanHostPath(const fs::path& program) {
    std::error_code ec;
    for (const fs::path& dir : {program.parent_path(), fs::canonical(program, ec).parent_path()}) {
        const fs::path beside = dir / "progman";
        if (!dir.empty() && fs::exists(beside, ec))
            return beside;
    }
#ifdef ZEL_BIN_DIR
    const fs::path built = fs::path(ZEL_BIN_DIR) / "progman";
    if (fs::exists(built, ec))
        return built;
#endif
    if (const char* dir = std::getenv("ZEL_BIN_DIR"); dir && *dir)
        return fs::path(dir) / "progman";
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    zel::WizardRun run;
    run.machine = [] {
        zel::Machine::Options options;
        options.prefix = zel::Machine::defaultPrefix();
        options.programHostPath = zel::Machine::runningExecutable();
        options.hostWorkingDir = fs::current_path();
        options.progmanHostPath = progmanHostPath(options.programHostPath);
        return options;
    };
    run.cannotStart = [](zel::UiServices& ui, const std::string& reason) {
        std::cerr << "zel-setup: " << zel::cp1252ToUtf8(reason) << '\n';
        ui.reportError(reason);
    };
    return zel::runWizard(argc, argv, run);
}
