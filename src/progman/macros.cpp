#include "progman/macros.h"

#include "winemu/text_scan.h"

#include <cctype>
#include <optional>
#include <utility>

namespace zel::progman {

namespace {

// What macro texts count as blank around commands, names and arguments.
bool isMacroBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}
    void skipBlanks() {
        while (pos_ < text_.size() && isMacroBlank(text_[pos_]))
            ++pos_;
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool accept(char c) {
        if (peek() != c || atEnd())
            return false;
        ++pos_;
        return true;
    }
    char next() { return text_[pos_++]; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Reads "(args)" after the command name, the scanner standing on '('; nothing when the list
// is malformed.
std::optional<std::vector<std::string>> parseArguments(Scanner& s) {
    std::vector<std::string> args;
    s.accept('(');
    s.skipBlanks();
    if (s.accept(')'))
        return args;
    for (;;) {
        s.skipBlanks();
        std::string arg;
        if (s.accept('"')) {
            while (!s.atEnd() && s.peek() != '"')
                arg += s.next();
            if (!s.accept('"'))
                return std::nullopt; // unterminated quote
            s.skipBlanks();
        } else {
            std::string raw;
            while (!s.atEnd() && s.peek() != ',' && s.peek() != ')') {
                if (s.peek() == '"' || s.peek() == '(' || s.peek() == '[' || s.peek() == ']')
                    return std::nullopt;
                raw += s.next();
            }
            arg = trimBlanks(raw, isMacroBlank);
        }
        args.push_back(std::move(arg));
        if (s.accept(','))
            continue;
        if (s.accept(')'))
            break;
        return std::nullopt;
    }
    while (!args.empty() && args.back().empty())
        args.pop_back();
    return args;
}

} // namespace

ParsedMacros parseMacros(std::string_view text) {
    ParsedMacros result;
    Scanner s(text);
    for (;;) {
        s.skipBlanks();
        if (s.atEnd())
            return result;
        if (!s.accept('[')) {
            result.complete = false;
            return result;
        }
        s.skipBlanks();
        MacroCommand command;
        while (!s.atEnd() && (std::isalnum(static_cast<unsigned char>(s.peek())) != 0))
            command.name += s.next();
        s.skipBlanks();
        bool ok = !command.name.empty();
        if (ok && s.peek() == '(') {
            auto args = parseArguments(s);
            ok = args.has_value();
            if (ok)
                command.args = std::move(*args);
        }
        s.skipBlanks();
        if (!ok || !s.accept(']')) {
            result.complete = false;
            return result;
        }
        result.commands.push_back(std::move(command));
    }
}

} // namespace zel::progman
