#include "tests/conformance/cases.h"

#include "winemu/cp1252.h"
#include "winemu/profile.h"

#include <filesystem>

namespace zel::conformance {

namespace {

bool sameAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// The file names the section or the key only in another case of a letter beyond ASCII.
bool matchesOnlyBeyondAscii(std::string_view fileText, const Query& read) {
    for (const ini::ScannedLine& line : ini::scan(fileText)) {
        for (std::string_view asked : {std::string_view(read.section), std::string_view(read.key)})
            if (equalsNoCase(line.name, asked) && !sameAsciiNoCase(line.name, asked))
                return true;
    }
    return false;
}

// The key stands under a header with an empty name ("[]").
bool underEmptyHeader(std::string_view fileText, const Query& read) {
    bool underEmpty = false;
    for (const ini::ScannedLine& line : ini::scan(fileText)) {
        if (line.kind == ini::ScannedLine::Kind::Section)
            underEmpty = line.name.empty();
        else if (underEmpty && equalsNoCase(line.name, read.key))
            return true;
    }
    return false;
}

std::string value(const Answer& a) {
    return a.lines.empty() ? std::string() : unhexAnswer(a.lines.front());
}

} // namespace

std::optional<std::string> keptProfileDifference(std::string_view fileText, const Query& read,
                                                 const Answer& platform, const Answer& ours) {
    if (std::filesystem::path(read.path).filename().string().starts_with(kLoneCrPrefix))
        return "a CR alone ends a line for us, as it does in every text the wizard reads and in "
               "the kit tool's line numbers; the platform ends lines at LF only";
    if (matchesOnlyBeyondAscii(fileText, read))
        return "names that differ only in the case of a letter beyond ASCII (c-cedilla, "
               "a-tilde, s-caron...) are one name for us, as names match regardless of letter "
               "case; Wine folds only ASCII letters";
    const std::string platformValue = value(platform), ourValue = value(ours);
    if (ourValue.size() == 1023 && platformValue == ourValue.substr(0, 1022) &&
        (fileText.find("\"" + ourValue + "\"") != std::string_view::npos ||
         fileText.find("'" + ourValue + "'") != std::string_view::npos))
        return "a quoted value of exactly 1023 characters keeps all of them for us (a value is "
               "cut at 1023 characters); the platform loses the last one with the quotes";
    return std::nullopt;
}

std::optional<std::string> keptWriteDifference(std::string_view platformFileText,
                                               std::string_view ourFileText, const Query& read,
                                               const Answer&, const Answer&) {
    if (matchesOnlyBeyondAscii(platformFileText, read) || matchesOnlyBeyondAscii(ourFileText, read))
        return "a write to a name that differs only in the case of a letter beyond ASCII goes "
               "to that name's section or key for us; Wine adds another";
    if (underEmptyHeader(ourFileText, read))
        return "a write leaves every line it does not change as it was for us; the platform "
               "rewrites the whole file without the \"[]\" header, so the keys under it join "
               "the section before";
    return std::nullopt;
}

std::optional<std::string> keptRegistryDifference(std::string_view platformLine,
                                                  std::string_view ourLine) {
    // "V <path> <name> 1 <data>": the same string value, the platform's with one NUL more.
    const std::size_t dataAt = ourLine.rfind(' ');
    if (ourLine.starts_with("V ") && dataAt != std::string_view::npos &&
        ourLine.substr(dataAt - 2, 3) == " 1 " && platformLine == std::string(ourLine) + "00")
        return "a string value stored without its closing NUL: the platform's ANSI query hands "
               "it out with one";
    return std::nullopt;
}

} // namespace zel::conformance
