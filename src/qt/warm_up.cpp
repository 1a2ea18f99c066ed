#include "qt/warm_up.h"

#include <cstring>
#include <system_error>
#include <utility>

#include <dlfcn.h>

namespace zel {

WarmUp::WarmUp(const std::function<void()>& task) {
    try {
        thread_ = std::thread(task);
    } catch (const std::system_error&) {
        // No thread to spare: the work is done where it is first needed.
    }
}

WarmUp::~WarmUp() {
    wait();
}

WarmUp& WarmUp::operator=(WarmUp&& other) noexcept {
    if (this != &other) {
        wait();
        thread_ = std::move(other.thread_);
    }
    return *this;
}

void WarmUp::wait() {
    if (thread_.joinable())
        thread_.join();
}

WarmUp warmUpFonts() {
    // The library comes with Qt's font support and is loaded with it; it is looked up rather
    // than linked, so the program needs nothing that Qt does not bring.
    using Init = int (*)();
    const auto init = reinterpret_cast<Init>(::dlsym(RTLD_DEFAULT, "FcInit"));
    if (!init)
        return {};
    return WarmUp([init] { init(); });
}

WarmUp warmUpMemory(void* begin, std::size_t size) {
    if (!begin || size == 0)
        return {};
    // Fresh pages come in as they are first written, each stopping the writer; on some
    // virtual machines that costs more than the painting itself.
    return WarmUp([begin, size] { std::memset(begin, 0, size); });
}

} // namespace zel
