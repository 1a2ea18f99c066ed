// Profile reader and writer: lookup never fails and agrees with the file's cached index, a
// write touches only its key's line.
#include "fuzz/fuzz_target.h"

#include <filesystem>
#include <stdlib.h>
#include <unistd.h>

namespace {

std::filesystem::path scratch;

void removeScratch() {
    std::error_code ec;
    std::filesystem::remove(scratch, ec);
}

std::string check(std::string_view input) {
    return zel::fuzz::checkProfile(input, &scratch);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string file = (std::filesystem::temp_directory_path() / "zel-fuzz-XXXXXX.ini").string();
    const int fd = ::mkstemps(file.data(), 4);
    if (fd < 0)
        std::abort();
    ::close(fd);
    scratch = file;
    std::atexit(removeScratch);
    return 0;
}

ZEL_FUZZ_TARGET(check)
