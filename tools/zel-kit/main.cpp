// zel-kit: the kit author's tool. "show" prints the catalogue as the wizard reads it; "check"
// reports what on a kit medium would make the wizard misbehave; "pack" makes a kit a medium
// that installs on any machine; "keys" prints the kit author's table of every key.
#include "tools/zel-kit/check.h"
#include "tools/zel-kit/keys.h"
#include "tools/zel-kit/pack.h"
#include "tools/zel-kit/show.h"
#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/iso_image.h"
#include "winemu/name_lookup.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr int kUsageError = 2;

struct Command {
    const char* name;
    const char* arguments;
    std::string summary;
    int (*run)(const std::vector<std::string>& args);
};

int runShow(const std::vector<std::string>& args);
int runCheck(const std::vector<std::string>& args);
int runPack(const std::vector<std::string>& args);
int runKeys(const std::vector<std::string>& args);

const Command kCommands[] = {
    {"show", "[--compact] FILE",
     "print the catalogue that the wizard reads from a setup description file;\n"
     "      --compact leaves out what holds nothing (empty texts, zeros, unused slots)",
     runShow},
    {"check", "[--json] MEDIUM|IMAGE.iso|WIZARD|FILE.INI",
     "report what on a kit medium (the directory holding SETUP.INI, a CD image of one, or the\n"
     "      wizard X and its X.INI) would make the wizard misbehave; exit status 1 when there\n"
     "      is an error",
     runCheck},
    {"pack", "KIT OUT [--name SETUP]",
     "check the kit (the directory holding SETUP.INI, or NAME.INI with --name) and, when it\n"
     "      has no error, make the new directory OUT a medium: the kit, the wizard as SETUP\n"
     "      (or NAME), what it needs at run time, and the SHA-256 sums of it all in " +
         std::string(zel::kit::kManifestName),
     runPack},
    {"keys", "--markdown",
     "print every key of the setup description file (section, key, what it does, default,\n"
     "      where it shows) as the Markdown table of the README's \"Writing a kit\"",
     runKeys},
};

void printUsage(std::ostream& out) {
    out << "usage:\n";
    for (const Command& c : kCommands)
        out << "  zel-kit " << c.name << ' ' << c.arguments << "\n      " << c.summary << '\n';
    out << "  zel-kit --help | --version\n";
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

int runShow(const std::vector<std::string>& args) {
    bool compact = false;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--compact")
            compact = true;
        else if (arg.starts_with("-") && arg.size() > 1)
            return usageError("show: unknown option " + arg);
        else
            operands.push_back(arg);
    }
    if (operands.size() != 1)
        return usageError("show takes one setup description file");
    const fs::path path = operands[0];
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
    const std::optional<std::string> content = zel::readHostFile(path);
    if (const auto why = zel::kit::notAProfile(content.value_or(std::string()))) {
        std::cerr << "zel-kit: " << path.string() << ": not a profile file (" << *why << ")\n";
        return 1;
    }

    std::cout << zel::kit::showJson(path, compact) << '\n';
    return flushOutput();
}

int runKeys(const std::vector<std::string>& args) {
    // Markdown is the only form so far; asking for it by name keeps room for others.
    if (args.size() != 1 || args[0] != "--markdown")
        return usageError("keys takes --markdown");
    std::cout << zel::kit::keysMarkdown();
    return flushOutput();
}

// The description file the wizard named `stem` reads in `dir`, found as the wizard's layer
// finds it.
std::optional<fs::path> descriptionBeside(const fs::path& dir, const std::string& stem) {
    const auto name = zel::findCaseless(dir, zel::utf8ToCp1252(stem + ".INI"));
    return name ? std::optional(dir / *name) : std::nullopt;
}

void printProblems(std::ostream& out, const std::vector<zel::kit::Problem>& problems) {
    // The kit's texts and names could otherwise fake lines or drive the terminal.
    for (const zel::kit::Problem& p : problems) {
        out << zel::escapeControls(p.file);
        if (p.line > 0)
            out << ':' << p.line;
        out << ": " << zel::kit::severityName(p.severity) << ": " << zel::escapeControls(p.message)
            << '\n';
    }
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
    // A CD image is checked as the wizard's --medium reads it: extracted for the check's life.
    std::optional<zel::ExtractedImage> image;
    if (status.type() == fs::file_type::regular &&
        zel::equalsNoCase(medium.extension().string(), ".ISO")) {
        try {
            image.emplace(medium);
        } catch (const zel::PlatformError& e) {
            std::string why = zel::cp1252ToUtf8(e.what());
            why = why.substr(0, why.find("; nada foi instalado")); // nothing is installed here
            std::cerr << "zel-kit: " << why << '\n';
            return 1;
        }
        medium = image->dir();
    } else if (status.type() == fs::file_type::regular) {
        // The wizard reads the description named after itself with the extension .INI.
        const fs::path given = fs::absolute(medium, ec);
        const bool isDescription = zel::equalsNoCase(given.extension().string(), ".INI");
        medium = given.parent_path();
        if (isDescription) {
            description = given;
        } else {
            description = descriptionBeside(medium, given.stem().string());
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

    const std::vector<zel::kit::Problem> problems = zel::kit::checkMedium(medium, description);
    const zel::kit::Tally counts = zel::kit::tally(problems);

    if (json) {
        Json list = Json::array();
        for (const zel::kit::Problem& p : problems) {
            Json item = Json::object();
            item["file"] = p.file;
            item["line"] = p.line;
            item["severity"] = zel::kit::severityName(p.severity);
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
        printProblems(std::cout, problems);
        std::cout << zel::kit::summary(counts) << '\n';
    }
    if (const int failed = flushOutput())
        return failed;
    return counts.errors > 0 ? 1 : 0;
}

// The directory zel-kit runs from, where the build puts the wizard and its helpers.
fs::path toolsDirectory() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        throw std::runtime_error("cannot tell where zel-kit is: " + ec.message());
    return self.parent_path();
}

int runPack(const std::vector<std::string>& args) {
    std::string name = "SETUP";
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--name" && i + 1 < args.size())
            name = args[++i];
        else if (args[i].starts_with("--name="))
            name = args[i].substr(7);
        else if (args[i].starts_with("-") && args[i].size() > 1)
            return usageError("pack: unknown option " + args[i] +
                              (args[i] == "--name" ? " without a name" : ""));
        else
            operands.push_back(args[i]);
    }
    if (operands.size() != 2)
        return usageError("pack takes a kit directory and a new directory for the medium");
    const bool helperName =
        name == zel::kit::kWizardProgram || name == zel::kit::kManifestName ||
        std::find(zel::kit::kWizardHelpers.begin(), zel::kit::kWizardHelpers.end(), name) !=
            zel::kit::kWizardHelpers.end();
    if (name.empty() || name == "." || name == ".." || name.starts_with(".") ||
        name.find_first_of("/\\\n\r") != std::string::npos || helperName)
        return usageError("pack: --name takes the wizard's file name, such as SETUP, and no "
                          "name the medium already uses: " +
                          zel::escapeControls(name));
    const fs::path kit = operands[0], out = operands[1];
    std::error_code ec;
    if (!fs::is_directory(kit, ec)) {
        std::cerr << "zel-kit: " << kit.string() << ": no such kit directory\n";
        return kUsageError;
    }
    const std::optional<fs::path> description = descriptionBeside(kit, name);
    if (!description) {
        std::cerr << "zel-kit: " << kit.string() << ": no " << name
                  << ".INI, the description the wizard named " << name << " reads\n";
        return 1;
    }
    // An earlier medium's sums are no concern: the new medium gets its own.
    const std::vector<zel::kit::Problem> problems = zel::kit::checkMedium(kit, description, false);
    printProblems(std::cerr, problems);
    if (const zel::kit::Tally counts = zel::kit::tally(problems); counts.errors > 0) {
        std::cerr << "zel-kit: pack: " << zel::kit::summary(counts) << " in " << kit.string()
                  << ": no medium made\n";
        return 1;
    }
    try {
        const std::size_t files = zel::kit::packMedium(kit, out, name, toolsDirectory());
        std::cout << out.string() << ": the kit, the wizard as " << name << " and its helpers; "
                  << files << " files in " << zel::kit::kManifestName << '\n';
    } catch (const zel::kit::PackError& e) {
        std::cerr << "zel-kit: pack: " << e.what() << '\n';
        return 1;
    }
    return flushOutput();
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
    if (command == "--version") {
        std::cout << "zel-kit (zel-setup) " ZEL_VERSION "\n";
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
