#include "winemu/events.h"

#include "winemu/host_file.h"

#include <algorithm>
#include <mutex>

namespace zel {

namespace {

struct Listeners {
    std::mutex mutex;
    std::vector<InstallObserver*> list;
};

Listeners& listeners() {
    static Listeners instance;
    return instance;
}

} // namespace

void report(const InstallEvent& told) {
    // Listeners keep what they hear beyond this process (the log, the journal): a path through
    // one of its descriptors is told as the path that descriptor has.
    InstallEvent event = told;
    for (std::string* path : {&event.path, &event.target, &event.host})
        *path = outsideThisProcess(*path);
    Listeners& all = listeners();
    std::vector<InstallObserver*> now;
    {
        std::lock_guard lock(all.mutex);
        now = all.list;
    }
    for (InstallObserver* observer : now) {
        try {
            observer->record(event);
        } catch (...) {
            // Hearing about a change must never undo or stop it.
        }
    }
}

JournalSubscription::JournalSubscription(InstallObserver& observer) : observer_(observer) {
    Listeners& all = listeners();
    std::lock_guard lock(all.mutex);
    all.list.push_back(&observer_);
}

JournalSubscription::~JournalSubscription() {
    Listeners& all = listeners();
    std::lock_guard lock(all.mutex);
    all.list.erase(std::remove(all.list.begin(), all.list.end(), &observer_), all.list.end());
}

} // namespace zel
