#pragma once
// Profile (INI) files as the Windows profile functions read and write them.
#include "winemu/machine.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// The integer rule: "0x"/"0X" prefix (text longer than 2) becomes "$"; leading blanks skipped;
// "$" + 1..8 hex digits to the end, or optional sign + decimal digits (magnitude <= 2147483647)
// to the end. Nothing for anything else.
std::optional<std::int32_t> parseIntegerRule(std::string_view text);

namespace ini {
// The value of key in section, trimmed, outer quote pair removed, cut to 1023 characters.
// Nothing when the section or key does not exist.
std::optional<std::string> lookup(std::string_view content, std::string_view section,
                                  std::string_view key);
// The content with key set to value; every byte it does not touch stays as it was.
std::string write(std::string_view content, std::string_view section, std::string_view key,
                  std::string_view value);

// One line of a profile text as the readers split and parse it (for tools that report lines).
struct ScannedLine {
    enum class Kind {
        Blank,   // empty, blanks only, or a comment
        Section, // "[name]"
        Key,     // "name=value"
        Ignored  // any other text: a name alone, which reads as no value and hides a later
                 // line of that name in its section
    };
    Kind kind = Kind::Blank;
    int number = 0;        // 1-based; CR, LF and CR LF each end one line
    std::string_view text; // the whole line without its line break (a leading UTF-8 BOM skipped)
    std::string_view name; // section or key name (or an ignored line's text), trimmed
    std::string value;     // a key's value exactly as a reader gets it
};
std::vector<ScannedLine> scan(std::string_view content);
} // namespace ini

class ProfileFile {
public:
    // Opening touches no file. A name without a directory means the Windows directory.
    ProfileFile(const Machine& machine, std::string name);
    // A profile file named by a host path (the kit tool reads files given on its command line).
    static ProfileFile atHostPath(std::filesystem::path hostPath);

    const std::string& name() const { return name_; }

    std::string readText(std::string_view section, std::string_view key,
                         std::string_view defaultText) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    bool readFlag(std::string_view section, std::string_view key, bool defaultValue) const;
    // Raise PlatformError("Unable to write to " + name) on failure. A value is written up to its
    // first line break or NUL, so it can never add lines to the file.
    void writeText(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);

private:
    struct Content; // the file's text with its index: section -> key -> value

    ProfileFile(std::optional<std::filesystem::path> hostPath, std::string name);
    const Content& content() const; // read and indexed once, on first use

    std::string name_;
    std::string path_; // the full Windows path (or the host path) that changes are reported by
    std::optional<std::filesystem::path> host_;      // nothing when the name maps to no host file
    mutable std::shared_ptr<const Content> content_; // shared by copies; never changed in place
};

} // namespace zel
