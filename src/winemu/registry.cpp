#include "winemu/registry.h"

#include "winemu/events.h"

#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <utility>

namespace zel {

namespace {

namespace fs = std::filesystem;

// A value as the installation log shows it: a string's text, anything else in hex.
std::string valueText(RegType type, const std::vector<std::uint8_t>& data) {
    if (type == RegType::String) {
        std::string text(data.begin(), data.end());
        if (const auto nul = text.find('\0'); nul != std::string::npos)
            text.resize(nul);
        return text;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "hex(" + std::to_string(static_cast<std::uint32_t>(type)) + "):";
    for (const std::uint8_t byte : data) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

// One event for each key made, parents first, so that each can be taken away again.
void reportKeysCreated(const fs::path& file, const std::vector<std::string>& made) {
    for (const std::string& path : made) {
        InstallEvent created{InstallEvent::Kind::RegistryKey};
        created.path = file.string();
        created.section = path;
        report(created);
    }
}

// The registry as its file holds it now. A file that cannot be read, or is no registry file,
// reads as an empty registry and is never written over: what it holds would be lost.
struct Snapshot {
    std::unique_ptr<RegKey> root;
    bool mayWriteBack = true;
};

Snapshot readSnapshot(const fs::path& file) {
    try {
        const std::optional<std::string> content = readHostFile(file);
        if (!content)
            return {makeRootKey()};
        if (auto tree = parseRegistryFile(*content))
            return {std::move(*tree)};
    } catch (const HostFileError&) {
    }
    return {makeRootKey(), false};
}

// Writes the snapshot's tree over the file; raises PlatformError when it may not or cannot.
void writeBack(const fs::path& file, const Snapshot& snapshot) {
    if (!snapshot.mayWriteBack)
        throw PlatformError(file.string() + ": not a registry file; it is left as it is");
    writeHostFile(file, formatRegistryFile(*snapshot.root));
}

// "\A\B" or "A\B" -> {"A", "B"}; "" and "\" -> {}. Nothing for an invalid path.
std::optional<std::vector<std::string_view>> splitPath(std::string_view path) {
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    std::vector<std::string_view> parts;
    if (path.empty())
        return parts;
    while (true) {
        std::size_t end = path.find('\\');
        std::string_view name = path.substr(0, end);
        if (!validKeyName(name) || parts.size() >= kMaxKeyDepth)
            return std::nullopt;
        parts.push_back(name);
        if (end == std::string_view::npos)
            return parts;
        path.remove_prefix(end + 1);
    }
}

RegKey* findKey(RegKey& root, const std::vector<std::string_view>& parts) {
    RegKey* key = &root;
    for (auto part : parts) {
        key = key->child(part);
        if (!key)
            return nullptr;
    }
    return key;
}

// Finds the key, creating what is missing; the key, and whether anything was created. The
// paths of the keys created, parents first, are added to `made` when given.
std::pair<RegKey*, bool> makeKey(RegKey& root, const std::vector<std::string_view>& parts,
                                 std::vector<std::string>* made = nullptr) {
    RegKey* key = &root;
    bool created = false;
    std::string path;
    for (auto part : parts) {
        path += (path.empty() ? "" : "\\") + std::string(part);
        RegKey* next = key->child(part);
        if (!next) {
            if (made)
                made->push_back(path);
            auto fresh = std::make_unique<RegKey>();
            fresh->name = std::string(part);
            next = fresh.get();
            key->children.push_back(std::move(fresh));
            created = true;
        }
        key = next;
    }
    return {key, created};
}

std::string withoutLeadingSlash(std::string_view path) {
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    return std::string(path);
}

} // namespace

Registry::Registry(std::filesystem::path file) : file_(std::move(file)) {}

Registry::~Registry() = default;

bool Registry::writable() const {
    return hostFileWritable(file_);
}

bool Registry::openKey(std::string_view path, bool mayCreate) {
    auto parts = splitPath(path);
    if (!parts || !writable())
        return false;
    Snapshot snapshot = readSnapshot(file_);
    if (!findKey(*snapshot.root, *parts)) {
        if (!mayCreate)
            return false;
        std::vector<std::string> made;
        makeKey(*snapshot.root, *parts, &made);
        try {
            writeBack(file_, snapshot);
        } catch (const PlatformError&) {
            return false;
        }
        reportKeysCreated(file_, made);
    }
    openPath_ = withoutLeadingSlash(path);
    rootOpen_ = openPath_.empty();
    return true;
}

void Registry::createKey(std::string_view path) {
    auto fail = [&] { return PlatformError("Failed to create key " + std::string(path)); };
    auto parts = splitPath(path);
    if (!parts || !writable())
        throw fail();
    Snapshot snapshot = readSnapshot(file_);
    if (!snapshot.mayWriteBack)
        throw fail(); // even a key found there could not be kept
    try {
        std::vector<std::string> made;
        if (makeKey(*snapshot.root, *parts, &made).second) {
            writeBack(file_, snapshot);
            reportKeysCreated(file_, made);
        }
    } catch (const PlatformError&) {
        throw fail();
    }
}

std::string Registry::readString(std::string_view name) {
    auto value = readValue(name);
    // As TRegistry: no data reads as empty before the type is looked at.
    if (!value || value->data.empty())
        return {};
    if (value->type != RegType::String && value->type != RegType::ExpandString)
        throw PlatformError("Invalid data type for '" + std::string(name) + "'");
    std::string text(value->data.begin(), value->data.end());
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

void Registry::writeString(std::string_view name, std::string_view value) {
    std::vector<std::uint8_t> data(value.begin(), value.end());
    data.push_back(0);
    writeValue(name, RegType::String, std::move(data));
}

void Registry::writeValue(std::string_view name, RegType type, std::vector<std::uint8_t> data) {
    auto fail = [&] { return PlatformError("Failed to set data for '" + std::string(name) + "'"); };
    if (!hasOpenKey() || !validValueName(name) || !writable())
        throw fail();
    auto parts = splitPath(openPath_);
    Snapshot snapshot = readSnapshot(file_);
    RegKey* key = parts && snapshot.mayWriteBack ? findKey(*snapshot.root, *parts) : nullptr;
    if (!key)
        throw fail(); // the file is not parseable, or the key was deleted meanwhile
    InstallEvent written{InstallEvent::Kind::RegistryValue};
    written.path = file_.string();
    written.section = "\\" + openPath_;
    written.name = name;
    written.after = valueText(type, data);
    if (RegValue* old = key->value(name)) {
        written.before = valueText(old->type, old->data);
        if (old->type == type && old->data == data) {
            report(written);
            return; // nothing changes: the file stays as it is
        }
        old->type = type;
        old->data = std::move(data);
    } else {
        key->values.push_back(RegValue{std::string(name), type, std::move(data)});
    }
    try {
        writeBack(file_, snapshot);
    } catch (const PlatformError&) {
        throw fail();
    }
    report(written);
}

bool Registry::deleteValue(std::string_view name) {
    auto fail = [&] {
        return PlatformError("N\xe3o foi poss\xedvel apagar '" + std::string(name) + "'");
    };
    if (!hasOpenKey() || !writable())
        throw fail();
    auto parts = splitPath(openPath_);
    Snapshot snapshot = readSnapshot(file_);
    RegKey* key = parts && snapshot.mayWriteBack ? findKey(*snapshot.root, *parts) : nullptr;
    if (!key)
        throw fail();
    const RegValue* value = key->value(name);
    if (!value)
        return false;
    key->values.erase(key->values.begin() + (value - key->values.data()));
    try {
        writeBack(file_, snapshot);
    } catch (const PlatformError&) {
        throw fail();
    }
    return true;
}

bool Registry::deleteEmptyKey(std::string_view path) {
    auto fail = [&] {
        return PlatformError("N\xe3o foi poss\xedvel apagar a chave " + std::string(path));
    };
    auto parts = splitPath(path);
    if (!parts || parts->empty() || !writable())
        throw fail();
    Snapshot snapshot = readSnapshot(file_);
    if (!snapshot.mayWriteBack)
        throw fail();
    const std::string_view last = parts->back();
    parts->pop_back();
    RegKey* parent = findKey(*snapshot.root, *parts);
    RegKey* key = parent ? parent->child(last) : nullptr;
    if (!key || !key->values.empty() || !key->children.empty())
        return false;
    std::erase_if(parent->children, [key](const auto& child) { return child.get() == key; });
    try {
        writeBack(file_, snapshot);
    } catch (const PlatformError&) {
        throw fail();
    }
    return true;
}

std::optional<RegValue> Registry::readValue(std::string_view name) {
    if (!hasOpenKey())
        return std::nullopt;
    auto parts = splitPath(openPath_);
    if (!parts)
        return std::nullopt;
    Snapshot snapshot = readSnapshot(file_);
    RegKey* key = findKey(*snapshot.root, *parts);
    if (!key)
        return std::nullopt;
    if (RegValue* value = key->value(name))
        return *value;
    return std::nullopt;
}

bool Registry::valueExists(std::string_view name) {
    return readValue(name).has_value();
}

void Registry::closeKey() {
    openPath_.clear();
    rootOpen_ = false;
}

void Registry::createDefaults(const std::filesystem::path& file) {
    if (!file.parent_path().empty()) {
        std::error_code ec; // a directory that cannot be made fails the creation below
        fs::create_directories(file.parent_path(), ec);
    }
    auto root = makeRootKey();
    RegKey* key = makeKey(*root, {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion"}).first;
    std::string_view dir = "C:\\Program Files";
    std::vector<std::uint8_t> data(dir.begin(), dir.end());
    data.push_back(0);
    key->values.push_back(RegValue{"ProgramFilesDir", RegType::String, std::move(data)});
    createHostFile(file, formatRegistryFile(*root)); // a file already there is kept
}

} // namespace zel
