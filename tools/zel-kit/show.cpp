#include "tools/zel-kit/show.h"

#include "setup/catalogue.h"
#include "winemu/cp1252.h"
#include "winemu/profile.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <variant>

namespace zel::kit {

namespace {

using Json = nlohmann::ordered_json;

std::string text(std::string_view cp1252) {
    return zel::cp1252ToUtf8(cp1252);
}

Json valueJson(const std::string& value) {
    return text(value);
}
Json valueJson(std::int32_t value) {
    return value;
}
Json valueJson(bool value) {
    return value ? 1 : 0; // flags print as the numbers they were written as
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

// Whether a value holds something: a text or a number that is not empty or zero, a list or a
// record with something in it.
bool holdsSomething(const Json& value) {
    if (value.is_string())
        return !value.get_ref<const std::string&>().empty();
    if (value.is_number())
        return value != 0;
    return !value.empty();
}

// Leaves out what holds nothing: a record's empty fields, and a list's empty slots at its end
// (the others keep their place, which is their number).
Json compacted(const Json& value) {
    if (value.is_object()) {
        Json out = Json::object();
        for (const auto& [key, member] : value.items())
            if (Json kept = compacted(member); holdsSomething(kept))
                out[key] = std::move(kept);
        return out;
    }
    if (value.is_array()) {
        Json out = Json::array();
        for (const Json& element : value)
            out.push_back(compacted(element));
        while (!out.empty() && !holdsSomething(out.back()))
            out.erase(out.size() - 1);
        return out;
    }
    return value;
}

} // namespace

std::string showJson(const std::filesystem::path& description, bool compact) {
    // Read as the wizard reads it: a malformed line or value gives the defaults.
    const zel::ProfileFile file = zel::ProfileFile::atHostPath(description);
    zel::Catalogue catalogue;
    catalogue.load(file);

    Json out = Json::object();
    out["settings"] = fieldsJson(catalogue.settings);
    out["programs"] = programsJson(catalogue);
    out["welcome"] = welcomeJson(file);
    return (compact ? compacted(out) : out).dump(2);
}

} // namespace zel::kit
