#pragma once
// HKEY_LOCAL_MACHINE of the emulated machine, kept in a REGEDIT4 text file in the prefix.
#include "winemu/regedit4.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

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
    // Removes a value of the open key; false when there is none. Raises "Failed to delete
    // '%s'" when the registry cannot be written or the open key is gone.
    bool deleteValue(std::string_view name);
    // Removes the key when it holds no value and no key; false when it is missing or holds
    // something. Raises "Failed to delete key %s" when the registry cannot be written.
    bool deleteEmptyKey(std::string_view path);
    void closeKey();
    bool hasOpenKey() const { return !openPath_.empty() || rootOpen_; }

    const std::filesystem::path& file() const { return file_; }

    // Whether the user may write the registry file, as the atomic writer judges it: the file,
    // when there, and otherwise its directory pass access(W_OK) and have their owner-write mode
    // bit (so what is made read-only refuses writing also to root, whom access() always lets
    // pass). A writable file in a directory that takes no new names is written in place.
    bool writable() const;

    // Creates the file with the machine's defaults when there is none: the key
    // SOFTWARE\Microsoft\Windows\CurrentVersion with ProgramFilesDir = "C:\Program Files".
    // Creates missing parent directories; a file already there is kept as it is. Raises
    // PlatformError when the file cannot be created.
    static void createDefaults(const std::filesystem::path& file);

private:
    std::filesystem::path file_;
    std::string openPath_; // normalised path of the open key ("" with rootOpen_ for the root)
    bool rootOpen_ = false;
};

} // namespace zel
