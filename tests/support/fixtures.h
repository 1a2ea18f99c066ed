#pragma once
// Temporary directories, prefixes and kit media for the tests.
#include "platform/machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace zel::test {

namespace fs = std::filesystem;

// A directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / name; }

private:
    fs::path path_;
};

void writeFile(const fs::path& path, std::string_view content); // creates parent directories
std::string readFile(const fs::path& path);                      // "" when missing

// The repository's source tree and the build's bin directory.
fs::path sourceDir();
fs::path binDir();

// A fresh emulated machine: <tmp>/prefix, with the running "program" at
// <tmp>/medium/SETUP (the medium is mounted as D:), working directory = the medium.
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    // (Re)creates the machine, e.g. after preparing dosdevices links or files.
    Machine& makeMachine();
    Machine& machine() { return *machine_; }

    fs::path driveC() const { return tmp / "prefix" / "drive_c"; }
    fs::path medium() const { return tmp / "medium"; }

    TempDir tmp;
    fs::path prefix;
    fs::path program;
    std::unique_ptr<Machine> machine_;
};

} // namespace zel::test
