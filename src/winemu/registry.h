#pragma once
// HKEY_LOCAL_MACHINE of the emulated machine, kept in a REGEDIT4 text file in the prefix.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

enum class RegType : std::uint32_t {
    None = 0,
    String = 1,       // REG_SZ            "name"="text"
    ExpandString = 2, // REG_EXPAND_SZ     "name"=hex(2):...
    Binary = 3,       // REG_BINARY        "name"=hex:...
    DWord = 4,        // REG_DWORD         "name"=dword:0000002a
    MultiString = 7,  // REG_MULTI_SZ      "name"=hex(7):...
};

struct RegValue {
    std::string name; // "" is the default value (@)
    RegType type = RegType::String;
    std::vector<std::uint8_t> data; // raw bytes as Windows keeps them (strings NUL-terminated)

    friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegKey {
    std::string name;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> children;

    // Case-insensitive, code page 1252 letters included (equalsNoCase).
    RegKey* child(std::string_view name) const;
    RegValue* value(std::string_view name);

    // Same names (exact case), values and children, in the same order.
    bool operator==(const RegKey& other) const;
};

// The file format (REGEDIT4, code page 1252 bytes):
//   REGEDIT4                                 header, the first line
//   (blank line)
//   [HKEY_LOCAL_MACHINE\SOFTWARE]            every key, parents before children, siblings in
//   "name"="text"                            creation order; the root's line only when it has
//   @="default value"                        values; quoted texts escape \ and " as \\ and \"
//   "n"=dword:0000002a                       a 4-byte REG_DWORD
//   "b"=hex:01,02                            REG_BINARY; hex(N): any other type N (hex(2):
//   "e"=hex(2):25,00                         expandable string, hex(7): multi-string, and a
//                                            REG_SZ that has no plain text form: one not
//                                            NUL-terminated, with an inner NUL, CR or LF)
// Hex lists are wrapped as regedit wraps them ("...,\" then two blanks on the next line).
// Lines end in CR LF and the file ends with a blank line.
// Reading also accepts LF line ends, blank lines and ";" comment lines anywhere, blanks around
// the parts of a line, upper-case hex digits and keywords, a "\" before any other character as
// itself, keys named more than once (merged) or before their parents (parents implied), and
// a value named twice (the later one wins). Key names are 1..255 bytes without "\", NUL, CR
// or LF, at most 512 levels deep; value names have no NUL, CR or LF.
//
// The parsed file. Parsing fails (nothing returned) for text that is not such a file; it never
// crashes and takes time linear in the text.
std::optional<std::unique_ptr<RegKey>> parseRegistryFile(std::string_view text);
// The file text of a tree whose names follow the rules above. A tree that parsing produced
// comes back equal from parse(format(tree)), and a file this function wrote comes back byte
// for byte from format(parse(file)).
std::string formatRegistryFile(const RegKey& hklm);

// Root HKEY_LOCAL_MACHINE with at most one open key, as the wizard uses the registry.
// Each operation reads the file afresh and every change is written back at once (atomically).
class Registry {
public:
    explicit Registry(std::filesystem::path file);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The key path is taken from the root; a leading "\" is ignored ("" or "\" is the root).
    // Opening asks for full access: a registry the user cannot write refuses it (see
    // writable()). The opened key replaces the open one; a failed open leaves the open key as
    // it was (as TRegistry does). With mayCreate, missing keys along the path are created and
    // written at once; a file that cannot be parsed is never written, so that open fails.
    bool openKey(std::string_view path, bool mayCreate);
    // Creates the key (or finds it) without opening it; raises "Failed to create key %s" with
    // the path as passed, also when the registry cannot be written (full access is asked).
    void createKey(std::string_view path);
    // Empty when no key is open, the value does not exist or has no data; text cut at its first
    // NUL. A value that is no string raises "Invalid data type for '%s'".
    std::string readString(std::string_view name);
    // Stores a REG_SZ (the text and a NUL). Raises "Failed to set data for '%s'": no key open,
    // the open key deleted meanwhile, the registry not writable or its file not parseable,
    // a name with NUL, CR or LF, or the file not written.
    void writeString(std::string_view name, std::string_view value);
    // Other value kinds, for the machine's own set-up and for tests; fails as writeString.
    void writeValue(std::string_view name, RegType type, std::vector<std::uint8_t> data);
    // The value under the open key as stored; nothing when no key is open or it is missing.
    std::optional<RegValue> readValue(std::string_view name);
    bool valueExists(std::string_view name);
    void closeKey();
    bool hasOpenKey() const { return !openPath_.empty() || rootOpen_; }

    const std::filesystem::path& file() const { return file_; }

    // Whether the user may write the registry: the file's directory passes access(W_OK), and
    // the file, when it exists, passes access(W_OK) and has its owner-write mode bit (so a
    // file made read-only refuses writing also to root, for whom access() always passes).
    bool writable() const;

    // Creates the file with the machine's defaults when it does not exist: the key
    // SOFTWARE\Microsoft\Windows\CurrentVersion with ProgramFilesDir = "C:\Program Files".
    // Creates missing parent directories. True when the file exists afterwards.
    static bool createDefaults(const std::filesystem::path& file);

private:
    std::filesystem::path file_;
    std::string openPath_; // normalised path of the open key ("" with rootOpen_ for the root)
    bool rootOpen_ = false;
};

} // namespace zel
