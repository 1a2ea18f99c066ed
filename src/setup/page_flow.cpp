#include "setup/page_flow.h"

namespace zel {

namespace {

// Entry 1 is the dial-up stack: it takes the connection settings.
bool installsDialer(const Choices& choices) {
    return choices.installs(1);
}

bool portKnown(const Choices& choices) {
    return choices.modem.port.has_value();
}

} // namespace

std::optional<Page> nextPage(Page current, const Choices& choices) {
    switch (current) {
    case Page::Welcome: return Page::Licence;
    case Page::Licence: return Page::Registration;
    case Page::Registration: return Page::InstallationType;
    case Page::InstallationType:
        if (choices.installation == InstallationType::Custom)
            return Page::CustomInstallation;
        // The typical installation asks for the modem only while its port is not known.
        return portKnown(choices) ? Page::Copy : Page::Connection;
    case Page::CustomInstallation:
        // Asked exactly when the dialer is installed, whether or not a port is known.
        return installsDialer(choices) ? Page::Connection : Page::Copy;
    case Page::Connection: return Page::Copy;
    case Page::Copy: return Page::Finish;
    case Page::Finish: break;
    }
    return std::nullopt;
}

std::optional<Page> previousPage(Page current, const Choices& choices) {
    const bool typical = choices.installation == InstallationType::Typical;
    switch (current) {
    case Page::Welcome:
    case Page::Finish: break;
    case Page::Licence: return Page::Welcome;
    case Page::Registration: return Page::Licence;
    case Page::InstallationType: return Page::Registration;
    case Page::CustomInstallation: return Page::InstallationType;
    case Page::Connection: return typical ? Page::InstallationType : Page::CustomInstallation;
    case Page::Copy:
        // The typical way back skips the connection page even when it was passed.
        if (typical)
            return Page::InstallationType;
        return installsDialer(choices) ? Page::Connection : Page::CustomInstallation;
    }
    return std::nullopt;
}

bool confirmsExit(Page page) {
    return page != Page::Welcome;
}

} // namespace zel
