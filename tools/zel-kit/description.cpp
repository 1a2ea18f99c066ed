#include "tools/zel-kit/description.h"

#include "winemu/cp1252.h"

namespace zel::kit {

using zel::ini::ScannedLine;

const Key* Section::find(std::string_view key) const {
    const auto it = index.find(zel::upperCp1252Text(key));
    return it == index.end() ? nullptr : &keys[it->second];
}

void Section::add(Key key) {
    if (index.emplace(zel::upperCp1252Text(key.name), keys.size()).second)
        keys.push_back(std::move(key));
    else
        repeat.push_back(std::move(key));
}

const Section* Description::find(std::string_view name) const {
    const auto it = index.find(zel::upperCp1252Text(name));
    return it == index.end() ? nullptr : &sections[it->second];
}

void scanDescription(Description& d) {
    d.lines = zel::ini::scan(d.text);
    for (const ScannedLine& line : d.lines) {
        switch (line.kind) {
        case ScannedLine::Kind::Blank: break;
        case ScannedLine::Kind::Ignored: d.ignored.push_back(&line); break;
        case ScannedLine::Kind::Section: {
            Section s;
            s.name = line.name;
            s.line = line.number;
            s.first = d.index.emplace(zel::upperCp1252Text(line.name), d.sections.size()).second;
            d.sections.push_back(std::move(s));
            break;
        }
        case ScannedLine::Kind::Key: {
            if (d.sections.empty()) {
                d.keysOutside.push_back(&line);
                break;
            }
            d.sections.back().add(Key{line.name, line.value, line.number});
            break;
        }
        }
    }
}

} // namespace zel::kit
