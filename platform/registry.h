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
};

struct RegKey {
    std::string name;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> children;

    RegKey* child(std::string_view name) const; // case-insensitive
    RegValue* value(std::string_view name);     // case-insensitive
};

// The parsed file. Parsing fails (nothing returned) for text that is not REGEDIT4.
std::optional<std::unique_ptr<RegKey>> parseRegistryFile(std::string_view text);
std::string formatRegistryFile(const RegKey& hklm);

// Root HKEY_LOCAL_MACHINE with at most one open key, as the wizard uses the registry.
// Each operation reads the file afresh and every change is written back at once (atomically).
class Registry {
public:
    explicit Registry(std::filesystem::path file);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The key path is taken from the root; a leading "\" is ignored. Opening asks for full
    // access: a registry the user cannot write refuses it. The opened key replaces the open one.
    bool openKey(std::string_view path, bool mayCreate);
    // Creates the key (or finds it) without opening it; raises "Failed to create key %s".
    void createKey(std::string_view path);
    // Empty when no key is open, the value does not exist or has no data; text cut at its first
    // NUL. A value that is no string raises "Invalid data type for '%s'".
    std::string readString(std::string_view name);
    // Raises "Failed to set data for '%s'".
    void writeString(std::string_view name, std::string_view value);
    // Other value kinds, for the machine's own set-up and for tests.
    void writeValue(std::string_view name, RegType type, std::vector<std::uint8_t> data);
    std::optional<RegValue> readValue(std::string_view name);
    bool valueExists(std::string_view name);
    void closeKey();
    bool hasOpenKey() const { return !openPath_.empty() || rootOpen_; }

    const std::filesystem::path& file() const { return file_; }

    // Creates the file with the machine's defaults when it does not exist.
    static void createDefaults(const std::filesystem::path& file);

private:
    std::filesystem::path file_;
    std::string openPath_; // normalised path of the open key ("" with rootOpen_ for the root)
    bool rootOpen_ = false;
};

} // namespace zel
