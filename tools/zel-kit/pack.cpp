#include "tools/zel-kit/pack.h"

#include "winemu/host_file.h"
#include "winemu/sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <unistd.h>

namespace zel::kit {

namespace fs = std::filesystem;

namespace {

// Every file under `root`, by its path relative to it with "/" between components, sorted;
// directories are walked, and names starting with "." left out when `skipHidden`.
std::vector<std::string> filesUnder(const fs::path& root, bool skipHidden) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; it != end; it.increment(ec)) {
        std::error_code kind; // a link to nothing is a file here, not a failed walk
        const bool walked = it->is_directory(kind) && !it->is_symlink(kind);
        if (skipHidden && it->path().filename().string().starts_with(".")) {
            if (walked)
                it.disable_recursion_pending();
            continue;
        }
        if (walked)
            continue;
        files.push_back(it->path().lexically_relative(root).generic_string());
    }
    if (ec)
        throw PackError(root.string() + ": cannot be read: " + ec.message());
    std::sort(files.begin(), files.end());
    return files;
}

std::string hashOf(const fs::path& file) {
    const std::optional<std::string> sum = zel::sha256OfFile(file);
    if (!sum)
        throw zel::HostFileError(zel::HostFileError::Step::Open, file, ENOENT);
    return *sum;
}

// A regular file (a link followed) copied with its owner's permissions for everyone to read
// and run, nobody else to write.
void copyFile(const fs::path& from, const fs::path& to, const std::string& shown) {
    std::error_code ec;
    const fs::file_status status = fs::status(from, ec);
    if (!fs::is_regular_file(status))
        throw PackError(shown + ": not a regular file (a link to a directory, a pipe, a "
                                "device, or a link to nothing): nothing packed");
    fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                     fs::perms::others_read;
    if ((status.permissions() & fs::perms::owner_exec) != fs::perms::none)
        mode |= fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::create_directories(to.parent_path(), ec);
    if (!ec)
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(to, mode, ec);
    if (ec)
        throw PackError(shown + ": cannot be copied: " + ec.message());
}

// Removes the half-made medium unless it was renamed into place.
class Staging {
public:
    explicit Staging(fs::path dir) : dir_(std::move(dir)) {}
    ~Staging() {
        if (!dir_.empty()) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
        }
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    const fs::path& dir() const { return dir_; }
    void kept() { dir_.clear(); }

private:
    fs::path dir_;
};

fs::path makeStaging(const fs::path& out) {
    std::string pattern =
        (out.parent_path() / ("." + out.filename().string() + ".pack-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw PackError("cannot make a directory beside " + out.string() + ": " +
                        std::strerror(errno));
    return pattern;
}

bool isHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

// A listed name that stays inside the medium.
bool staysInside(const std::string& name) {
    if (name.empty() || name.front() == '/')
        return false;
    for (const fs::path& part : fs::path(name))
        if (part == ".." || part == "." || part.empty())
            return false;
    return true;
}

} // namespace

fs::path helperSource(const fs::path& toolsDir, const std::string& helper) {
    const fs::path beside = toolsDir / helper;
    std::error_code ec;
    if (helper.ends_with(".so") && !fs::exists(beside, ec)) {
        const fs::path installed = toolsDir.parent_path() / kInstalledModuleDir / helper;
        if (fs::exists(installed, ec))
            return installed;
    }
    return beside;
}

std::size_t packMedium(const fs::path& kit, const fs::path& givenOut, const std::string& name,
                       const fs::path& toolsDir) {
    const fs::path out = fs::absolute(givenOut).lexically_normal();
    std::error_code ec;
    const fs::file_status outStatus = fs::symlink_status(out, ec);
    if (outStatus.type() != fs::file_type::not_found &&
        !(fs::is_directory(outStatus) && fs::is_empty(out, ec)))
        throw PackError(out.string() + " already exists: give a new directory for the medium");
    if (!fs::is_directory(out.parent_path(), ec))
        throw PackError(out.parent_path().string() + ": no such directory to make the medium in");

    // The wizard and its helpers first: a build without them makes no medium.
    std::vector<std::pair<fs::path, std::string>> programs{{toolsDir / kWizardProgram, name}};
    for (const char* helper : kWizardHelpers)
        programs.emplace_back(helperSource(toolsDir, helper), helper);
    for (const auto& [from, as] : programs)
        if (!fs::is_regular_file(from, ec))
            throw PackError(from.string() + " is missing: build the wizard and its helpers "
                                            "(make demo) before packing");

    Staging staging(makeStaging(out));
    for (const std::string& file : filesUnder(kit, true)) {
        if (file.find_first_of("\n\r\\") != std::string::npos)
            throw PackError((kit / file).string() +
                            ": a name with a line break or a backslash cannot be listed in " +
                            kManifestName);
        if (file == kManifestName)
            continue; // the sums of an earlier packing are made anew
        copyFile(kit / file, staging.dir() / file, (kit / file).string());
    }
    for (const auto& [from, as] : programs)
        copyFile(from, staging.dir() / as, from.string());

    std::string manifest;
    const std::vector<std::string> files = filesUnder(staging.dir(), false);
    for (const std::string& file : files)
        manifest += hashOf(staging.dir() / file) + "  " + file + "\n";
    try {
        zel::writeHostFile(staging.dir() / kManifestName, manifest);
    } catch (const zel::PlatformError& e) {
        throw PackError(e.what());
    }
    fs::permissions(staging.dir(), static_cast<fs::perms>(0755), ec);
    // rename(2) puts a directory over an empty one, never over one with files in it.
    if (!ec && ::rename(staging.dir().c_str(), out.c_str()) != 0)
        ec.assign(errno, std::generic_category());
    if (ec)
        throw PackError("cannot put the medium at " + out.string() + ": " + ec.message());
    staging.kept();
    return files.size();
}

std::vector<Problem> verifyManifest(const fs::path& medium) {
    std::vector<Problem> problems;
    const auto report = [&](const std::string& file, int line, std::string message) {
        problems.push_back({file, line, Severity::Error, std::move(message)});
    };
    std::optional<std::string> text;
    try {
        text = zel::readHostFile(medium / kManifestName);
    } catch (const zel::PlatformError& e) {
        report(kManifestName, 0, e.what()); // it names the file and says why
        return problems;
    }
    if (!text)
        return problems;

    std::map<std::string, std::string> sums; // file -> sum
    int number = 0;
    for (std::size_t start = 0; start < text->size();) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos)
            end = text->size();
        const std::string_view line = std::string_view(*text).substr(start, end - start);
        start = end + 1;
        ++number;
        if (line.size() < 67 || !isHex(line.substr(0, 64)) ||
            !(line.substr(64, 2) == "  " || line.substr(64, 2) == " *")) {
            report(kManifestName, number, "is no line of SHA-256 sums (\"SUM  FILE\")");
            continue;
        }
        const std::string file(line.substr(66));
        std::string sum(line.substr(0, 64));
        std::transform(sum.begin(), sum.end(), sum.begin(),
                       [](char c) { return static_cast<char>(std::tolower(c)); });
        if (!staysInside(file))
            report(kManifestName, number, "names " + file + ", which is not on the medium");
        else if (!sums.emplace(file, sum).second)
            report(kManifestName, number, "lists " + file + " a second time");
    }

    for (const auto& [file, sum] : sums) {
        const fs::path path = medium / file;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            report(file, 0,
                   std::string("is listed in ") + kManifestName + " but missing from the medium");
            continue;
        }
        try {
            if (hashOf(path) != sum)
                report(file, 0,
                       std::string("differs from its sum in ") + kManifestName +
                           ": changed since the medium was packed");
        } catch (const zel::PlatformError& e) {
            report(file, 0, e.what());
        }
    }
    try {
        for (const std::string& file : filesUnder(medium, false))
            if (file != kManifestName && !sums.count(file))
                report(file, 0,
                       std::string("is not listed in ") + kManifestName +
                           ": added after the medium was packed");
    } catch (const PackError& e) {
        report(".", 0, e.what());
    }
    return problems;
}

} // namespace zel::kit
