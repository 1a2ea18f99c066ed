// One file hashed as the medium's sums are made and checked (sha256OfFile), in a process of its
// own, so that its time includes a start as sha256sum's does and its peak memory is the hash's.
// Prints the digest and its peak resident memory (VmHWM, in kB, read at its end: the figure
// wait4 gives for a child started by posix_spawn is at least the parent's own peak).
// Usage: bench_hash_run FILE
#include "winemu/errors.h"
#include "winemu/sha256.h"

#include <fstream>
#include <iostream>
#include <optional>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: bench_hash_run FILE\n";
        return 2;
    }
    std::optional<std::string> sum;
    try {
        sum = zel::sha256OfFile(argv[1]);
    } catch (const zel::PlatformError& e) {
        std::cerr << "bench_hash_run: " << e.what() << '\n';
        return 1;
    }
    if (!sum) {
        std::cerr << "bench_hash_run: " << argv[1] << ": no such file\n";
        return 1;
    }
    long peak = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            peak = std::stol(line.substr(6));
    std::cout << *sum << ' ' << peak << '\n';
    return 0;
}
