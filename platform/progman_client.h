#pragma once
// The conversation with Program Manager (service and topic "PROGMAN").
#include "platform/programs.h"

#include <string>
#include <string_view>

namespace zel {

class DdeConversation {
public:
    DdeConversation(Machine& machine, Programs& programs) : m_(machine), programs_(programs) {}
    ~DdeConversation();
    DdeConversation(const DdeConversation&) = delete;
    DdeConversation& operator=(const DdeConversation&) = delete;

    // Closes any open conversation, then connects; when nobody answers, starts
    // "SERVICE TOPIC" without waiting (show mode 7) and connects once more.
    bool open(std::string_view service, std::string_view topic);
    // Hands the macro text over and returns at once; false when no conversation is open.
    bool execute(std::string_view macro, bool wait = false);
    // Every macro handed over is delivered before the conversation ends.
    void close();
    bool isOpen() const { return fd_ >= 0; }

private:
    bool connect();

    Machine& m_;
    Programs& programs_;
    int fd_ = -1;
    std::string service_, topic_;
};

// The local socket on which Program Manager listens, inside the prefix.
std::string progmanSocketPath(const Machine& machine);

} // namespace zel
