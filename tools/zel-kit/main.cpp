// zel-kit: the kit author's tool. "show" prints the catalogue as the wizard reads it; "check"
// reports what on a kit medium would make the wizard misbehave.
#include "winemu/cp1252.h"
#include "winemu/profile.h"
#include "setup/catalogue.h"
#include "tools/zel-kit/check.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr int kUsageError = 2;

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(const std::vector<std::string>& args);
};

int runShow(const std::vector<std::string>& args);
int runCheck(const std::vector<std::string>& args);

const Command kCommands[] = {
    {"show", "FILE", "print the catalogue that the wizard reads from a setup description file",
     runShow},
    {"check", "[--json] MEDIUM|WIZARD|FILE.INI",
     "report what on a kit medium (the directory holding SETUP.INI, or the wizard X and its\n"
     "      X.INI) would make the wizard misbehave; exit status 1 when there is an error",
     runCheck},
};

void printUsage(std::ostream& out) {
    out << "usage:\n";
    for (const Command& c : kCommands)
        out << "  zel-kit " << c.name << ' ' << c.arguments << "\n      " << c.summary << '\n';
}

int usageError(const std::string& message) {
    std::cerr << "zel-kit: " << message << '\n';
    printUsage(std::cerr);
    return kUsageError;
}

// 0 when the output is written whole; 1, with the reason on stderr, when it cannot be.
int flushOutput() {
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "zel-kit: cannot write the output\n";
        return 1;
    }
    return 0;
}

std::string text(std::string_view cp1252) {
    return zel::cp1252ToUtf8(cp1252);
}

Json valueJson(const std::string& value) {
    return text(value);
}
Json valueJson(std::int32_t value) {
    return value;
}
Json valueJson(std::uint8_t value) {
    return value;
}
Json valueJson(const zel::FileList& slots) {
    Json j = Json::array();
    for (const std::string& name : slots)
        j.push_back(text(name));
    return j;
}

// The record's fields by their catalogue names, in the catalogue's order.
template <class Record> Json fieldsJson(const Record& record) {
    Json j = Json::object();
    for (const zel::DescriptionKey& key : zel::descriptionKeys()) {
        std::visit(
            [&](auto field) {
                if constexpr (requires { record.*field; })
                    j[std::string(key.field)] = valueJson(record.*field);
            },
            key.place);
    }
    return j;
}

Json programsJson(const zel::Catalogue& catalogue) {
    Json j = Json::array();
    for (int n = 1; n <= zel::kProgramEntries; ++n)
        j.push_back(fieldsJson(catalogue.entry(n)));
    return j;
}

// What the welcome page reads each time it is shown: the keys the catalogue keeps no field
// for, a sponsor's keys once for each sponsor.
Json welcomeJson(const zel::ProfileFile& file) {
    const auto value = [&file](std::string_view section, const zel::DescriptionKey& key) {
        return text(file.readText(section, key.name, key.fallback));
    };
    Json j = Json::object();
    Json sponsors = Json::array();
    for (int k = 1; k <= zel::kSponsorEntries; ++k)
        sponsors.push_back(Json::object());
    for (const zel::DescriptionKey& key : zel::descriptionKeys()) {
        if (!std::holds_alternative<std::monostate>(key.place))
            continue;
        const std::string name(key.name);
        if (key.section != zel::kSponsorSection) {
            j[name] = value(key.section, key);
            continue;
        }
        for (int k = 1; k <= zel::kSponsorEntries; ++k)
            sponsors[static_cast<std::size_t>(k - 1)][name] =
                value(std::string(zel::kSponsorSection) + std::to_string(k), key);
    }
    j["sponsors"] = std::move(sponsors);
    return j;
}

int runShow(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return usageError("show takes one setup description file");
    const fs::path path = args[0];
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        std::cerr << "zel-kit: " << path.string() << ": no such file\n";
        return kUsageError;
    }
    if (status.type() == fs::file_type::directory) {
        std::cerr << "zel-kit: " << path.string() << ": is a directory\n";
        return kUsageError;
    }

    // Read as the wizard reads it: an unreadable or malformed file gives the defaults.
    const zel::ProfileFile file = zel::ProfileFile::atHostPath(path);
    zel::Catalogue catalogue;
    catalogue.load(file);

    Json out = Json::object();
    out["settings"] = fieldsJson(catalogue.settings);
    out["programs"] = programsJson(catalogue);
    out["welcome"] = welcomeJson(file);
    std::cout << out.dump(2) << '\n';
    return flushOutput();
}

int runCheck(const std::vector<std::string>& args) {
    bool json = false;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (arg.starts_with("-") && arg.size() > 1)
            return usageError("check: unknown option " + arg);
        else
            operands.push_back(arg);
    }
    if (operands.size() != 1)
        return usageError("check takes one kit medium directory, wizard or description file");
    fs::path medium = operands[0];
    std::optional<fs::path> description;
    std::error_code ec;
    const fs::file_status status = fs::status(medium, ec);
    if (status.type() == fs::file_type::not_found) {
        std::cerr << "zel-kit: " << medium.string() << ": no such file or directory\n";
        return kUsageError;
    }
    if (status.type() == fs::file_type::regular) {
        // The wizard reads the description named after itself with the extension .INI.
        const fs::path given = fs::absolute(medium, ec);
        const bool isDescription = zel::equalsNoCase(given.extension().string(), ".INI");
        medium = given.parent_path();
        if (isDescription) {
            description = given;
        } else {
            // Found without regard to case, as the wizard's layer finds it.
            const std::string wanted = given.stem().string() + ".INI";
            for (fs::directory_iterator it(medium, ec), end; !ec && it != end; it.increment(ec))
                if (zel::equalsNoCase(it->path().filename().string(), wanted) &&
                    (!description || it->path().filename() == wanted))
                    description = it->path();
        }
        if (!description) {
            std::cerr << "zel-kit: " << medium.string() << ": no " << given.stem().string()
                      << ".INI beside the wizard\n";
            return kUsageError;
        }
    } else if (status.type() != fs::file_type::directory) {
        std::cerr << "zel-kit: " << medium.string()
                  << ": not a directory (give the medium that holds SETUP.INI)\n";
        return kUsageError;
    }

    const std::vector<zelkit::Problem> problems = zelkit::checkMedium(medium, description);
    const zelkit::Tally counts = zelkit::tally(problems);

    if (json) {
        Json list = Json::array();
        for (const zelkit::Problem& p : problems) {
            Json item = Json::object();
            item["file"] = p.file;
            item["line"] = p.line;
            item["severity"] = zelkit::severityName(p.severity);
            item["message"] = p.message;
            list.push_back(std::move(item));
        }
        Json out = Json::object();
        out["problems"] = std::move(list);
        out["errors"] = counts.errors;
        out["warnings"] = counts.warnings;
        out["notes"] = counts.notes;
        // Host file names need not be UTF-8; such bytes are replaced rather than failing.
        std::cout << out.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
    } else {
        // The kit's texts and names could otherwise fake lines or drive the terminal.
        for (const zelkit::Problem& p : problems) {
            std::cout << zel::escapeControls(p.file);
            if (p.line > 0)
                std::cout << ':' << p.line;
            std::cout << ": " << zelkit::severityName(p.severity) << ": "
                      << zel::escapeControls(p.message) << '\n';
        }
        std::cout << zelkit::summary(counts) << '\n';
    }
    if (const int failed = flushOutput())
        return failed;
    return counts.errors > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usageError("no command given");
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage(std::cout);
        return 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (command == c.name) {
            try {
                return c.run(args);
            } catch (const std::exception& e) {
                std::cerr << "zel-kit: " << e.what() << '\n';
                return 1;
            }
        }
    }
    return usageError("unknown command \"" + std::string(command) + "\"");
}
