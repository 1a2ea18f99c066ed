// One installation run of a kit in a process of its own, so that its peak memory is the
// run's: bench_install runs it for each kit size.
// Usage: bench_install_run MEDIUM PREFIX (the destination is emptied first).
#include "bench/install_kit.h"

#include <exception>
#include <iostream>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::cerr << "usage: bench_install_run MEDIUM PREFIX\n";
        return 2;
    }
    try {
        bench::Installation installation(argv[1], argv[2]);
        bench::fs::remove_all(installation.target());
        installation.run();
    } catch (const std::exception& e) {
        std::cerr << "bench_install_run: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
