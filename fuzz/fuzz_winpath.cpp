// Windows paths: normal forms are fixed points and no path maps outside its drive.
#include "fuzz/fuzz_target.h"

#include <filesystem>
#include <memory>
#include <stdlib.h>

namespace {

std::unique_ptr<zel::Machine> machine;
std::filesystem::path machineDir;

void removeMachine() {
    std::error_code ec;
    std::filesystem::remove_all(machineDir, ec);
}

std::string check(std::string_view input) {
    return zel::fuzz::checkWinPath(*machine, input);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string dir = (std::filesystem::temp_directory_path() / "zel-fuzz-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        std::abort();
    machineDir = dir;
    machine = std::make_unique<zel::Machine>(zel::fuzz::makeFuzzMachine(machineDir));
    std::atexit(removeMachine);
    return 0;
}

ZEL_FUZZ_TARGET(check)
