#pragma once
// Start-up work done on another core while the main thread builds the pages: loading the
// system's font configuration, and bringing in the memory of the full-screen background
// before it is painted. Each only saves time; the program works the same without it.
#include <cstddef>
#include <functional>
#include <thread>

namespace zel {

// A task running on another thread; wait() or the destructor joins it.
class WarmUp {
public:
    WarmUp() = default;
    // Starts the task; where no thread can be had, the task is dropped (it only saves time).
    explicit WarmUp(const std::function<void()>& task);
    ~WarmUp();
    WarmUp(WarmUp&& other) noexcept = default;
    WarmUp& operator=(WarmUp&& other) noexcept;
    WarmUp(const WarmUp&) = delete;
    WarmUp& operator=(const WarmUp&) = delete;

    // Returns once the task is done (at once when there is none).
    void wait();

private:
    std::thread thread_;
};

// Loads the font configuration (its files and font caches, several milliseconds). Waited for
// before the first text is measured, so the font system never loads it a second time.
WarmUp warmUpFonts();

// Clears fresh memory to zero bytes, which brings in its pages, so that the first painting
// into it does not stop at every page. The owner must not use the range before wait().
WarmUp warmUpMemory(void* begin, std::size_t size);

} // namespace zel
