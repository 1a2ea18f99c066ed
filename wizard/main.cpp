// zel-setup: the setup wizard of the ZEL Internet access kit.
#include "platform/platform.h"
#include "platform/qt_sound.h"
#include "platform/qt_system_printer.h"
#include "platform/qt_ui.h"
#include "platform/qt_warmup.h"
#include "setup/catalogue.h"
#include "wizard/TWizard.h"

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// The Program Manager stand-in: beside the running program (an installed copy), else where
// this build put it, else where the environment says.
fs::path progmanHostPath(const fs::path& program) {
    std::error_code ec;
    const fs::path beside = program.parent_path() / "progman";
    if (fs::exists(beside, ec))
        return beside;
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
    zel::WarmUp fonts = zel::warmUpFonts(); // on another core, while the application is set up
    QApplication app(argc, argv);
    zel::setUpApplication(app);

    zel::QtUi ui;
    std::unique_ptr<zel::Machine> machine;
    try {
        zel::Machine::Options options;
        options.prefix = zel::Machine::defaultPrefix();
        options.programHostPath = zel::Machine::runningExecutable();
        options.hostWorkingDir = fs::current_path();
        options.progmanHostPath = progmanHostPath(options.programHostPath);
        machine = std::make_unique<zel::Machine>(options);
    } catch (const std::exception& e) {
        // Without its machine (say, a prefix that cannot be created) the wizard cannot start.
        ui.reportError(e.what());
        return 1;
    }

    zel::SystemPrinter printer;
    zel::QtSound sound(*machine);
    zel::Platform platform(*machine, ui, printer, sound);
    zel::Catalogue catalogue;
    fonts.wait(); // the pages measure their texts as they are built
    TWizard wizard(platform, catalogue);
    wizard.start();
    return app.exec();
}
