#pragma once
// The REGEDIT4 text format that regedit exports, in which the emulated machine keeps
// HKEY_LOCAL_MACHINE: the tree of keys and values, and its text form both ways. No files here;
// the registry store (registry.h) reads and writes them.
#include <cstdint>
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
// the parts of a line, upper-case hex digits and keywords, "\n" and "\r" in quoted texts for
// LF and CR (as regedit exports line breaks), a "\" before any other character as itself,
// keys named more than once (merged) or before their parents (parents implied), and a value
// named twice (the later one wins). Key names are 1..255 bytes without "\", NUL, CR
// or LF, at most 512 levels deep; value names have no NUL, CR or LF.
//
// The parsed file. Parsing fails (nothing returned) for text that is not such a file; it never
// crashes and takes time linear in the text.
std::optional<std::unique_ptr<RegKey>> parseRegistryFile(std::string_view text);
// The file text of a tree whose names follow the rules above. A tree that parsing produced
// comes back equal from parse(format(tree)), and a file this function wrote comes back byte
// for byte from format(parse(file)).
std::string formatRegistryFile(const RegKey& hklm);

// The root key's name, as it opens every key line of the file.
inline constexpr std::string_view kRootKeyName = "HKEY_LOCAL_MACHINE";
inline constexpr std::size_t kMaxKeyDepth = 512; // levels below the root, as Windows allows
inline constexpr std::size_t kMaxKeyNameLength = 255;

// Names the format can hold (see above).
bool validKeyName(std::string_view name);
bool validValueName(std::string_view name);
// An empty HKEY_LOCAL_MACHINE.
std::unique_ptr<RegKey> makeRootKey();

} // namespace zel
