// [Patro1] to [Patro5]: the sponsors the welcome page shows, with their picture and program.
#include "tools/zel-kit/checker.h"

#include "winemu/cp1252.h"

namespace zel::kit {

using zel::KeyId;
using zel::keyOf;

void Checker::checkSponsors() {
    const zel::DescriptionKey& hint = keyOf(KeyId::SponsorHint);
    const zel::DescriptionKey& picture = keyOf(KeyId::SponsorPicture);
    const zel::DescriptionKey& program = keyOf(KeyId::SponsorProgram);
    for (int k = 1; k <= zel::kSponsorEntries; ++k) {
        const Section* s = d_.find(std::string(zel::kSponsorSection) + std::to_string(k));
        if (!s)
            continue;
        checkKeys(*s, zel::kSponsorSection);
        const std::string section = "[" + zel::cp1252ToUtf8(s->name) + "]";
        const auto text = [&](const zel::DescriptionKey& key) {
            const Key* found = s->find(key.name);
            return found ? found->value : std::string();
        };
        if (text(hint).empty()) {
            if (!text(picture).empty() || !text(program).empty())
                report(severityOf(hint.ifMissing), s->line,
                       section + " has no " + std::string(hint.name) +
                           ": the sponsor is never shown");
            continue;
        }
        const std::string base = *directoryIn(*s, keyOf(*picture.file.under));
        if (text(picture).empty())
            report(severityOf(picture.ifMissing), s->line,
                   section + " has no " + std::string(picture.name) +
                       ": an empty area is shown with the hint");
        else
            checkFile(severityOf(picture.file.ifAbsent), *s->find(picture.name),
                      base + text(picture), picture.file.label, picture.file.maxBytes);
        if (!text(program).empty())
            checkFile(severityOf(program.file.ifAbsent), *s->find(program.name),
                      base + text(program), program.file.label, program.file.maxBytes);
    }
}

} // namespace zel::kit
