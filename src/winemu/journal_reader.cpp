#include "winemu/journal_reader.h"

#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <cerrno>
#include <cstdio>

namespace zel {

namespace fs = std::filesystem;

std::vector<JournalRecord> readJournal(const fs::path& journal) {
    const std::string name = journalErrorPath(journal);
    std::optional<std::string> content;
    try {
        content = readHostFile(journal);
    } catch (const HostFileError& e) {
        throw PlatformError("N\xe3o foi poss\xedvel ler o registro da instala\xe7\xe3o " + name +
                            " (" + systemReason(e.error()) + ")");
    }
    if (!content)
        throw PlatformError("O registro da instala\xe7\xe3o " + name + " n\xe3o existe");
    std::string_view text = *content;
    const std::size_t headerEnd = text.find('\n');
    const std::string_view header =
        text.substr(0, headerEnd == std::string_view::npos ? text.size() : headerEnd);
    // The first format named the machine's files by host path, which a copied machine would
    // take to the original's: it is not guessed at.
    if (header == kOldJournalHeader)
        throw PlatformError("O registro da instala\xe7\xe3o " + name +
                            " foi gravado por uma vers\xe3o anterior do instalador, que "
                            "nomeava os arquivos fora da m\xe1quina, e n\xe3o pode ser desfeito "
                            "por esta vers\xe3o; nada foi alterado");
    // Empty, or its header cut short: a run stopped (or a machine that went down) before its
    // header reached the disk, which is synced with the first record that must be kept.
    if (headerEnd == std::string_view::npos && std::string_view(kJournalHeader).starts_with(text))
        return {};
    if (headerEnd == std::string_view::npos || header != kJournalHeader)
        throw PlatformError(name + " n\xe3o \xe9 um registro de instala\xe7\xe3o");
    text.remove_prefix(headerEnd + 1);
    std::vector<JournalRecord> records;
    // A line without its line break is a record the run was killed while writing.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        JournalRecord record;
        bool first = true;
        while (true) {
            const std::size_t tab = line.find('\t');
            std::string field = unescapeJournalField(line.substr(0, tab));
            if (first)
                record.kind = std::move(field);
            else
                record.fields.push_back(std::move(field));
            first = false;
            if (tab == std::string_view::npos)
                break;
            line.remove_prefix(tab + 1);
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::optional<fs::path> latestJournal(const fs::path& prefix) {
    std::optional<fs::path> latest;
    std::error_code ec;
    for (fs::directory_iterator it(journalDirectory(prefix), ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.extension() == kJournalExtension && it->is_regular_file(ec) &&
            (!latest || path.filename() > latest->filename()))
            latest = path;
    }
    return latest;
}

void markJournalUndone(const fs::path& journal) {
    fs::path undone = journal;
    undone.replace_extension(".undone");
    if (::rename(journal.c_str(), undone.c_str()) != 0)
        throw PlatformError("N\xe3o foi poss\xedvel renomear o registro da instala\xe7\xe3o " +
                            journalErrorPath(journal) + " (" + systemReason(errno) + ")");
    // The new name must outlast a crash, or a later run would undo the installation again.
    syncDirectory(journal.parent_path());
}

} // namespace zel
