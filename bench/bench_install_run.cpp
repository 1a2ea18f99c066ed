// One installation run of a kit in a process of its own, so that its peak memory is the
// run's: bench_install runs it for each kit size. It prints its peak resident memory (VmHWM,
// in kB) as read at its end: the figure wait4 gives for a child started by posix_spawn is at
// least the parent's own peak, whose memory the child shares until it starts this program.
// Usage: bench_install_run MEDIUM PREFIX (the destination is emptied first).
#include "bench/install_kit.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::cerr << "usage: bench_install_run MEDIUM PREFIX\n";
        return 2;
    }
    try {
        bench::Installation installation(argv[1], argv[2]);
        bench::fs::remove_all(installation.target());
        installation.run();
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmHWM:"))
                std::cout << std::stol(line.substr(6)) << '\n';
    } catch (const std::exception& e) {
        std::cerr << "bench_install_run: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
