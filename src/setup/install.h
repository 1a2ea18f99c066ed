#pragma once
// Putting the kit's files on the disk: the file copy and the installation run.
#include "setup/catalogue.h"
#include "setup/progress.h"
#include "winemu/errors.h"
#include "winemu/files.h"

#include <string>
#include <string_view>

namespace zel {

// A file of a program entry could not be copied.
class FileCopyError : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// Copies one file and keeps its date; true when the whole file was copied. Never raises.
bool fileCopy(Files& files, std::string_view source, std::string_view destination);

// Removes the temporary copies that a copy killed halfway left in the host directory: ours by
// their name and owner, and stale because the process that wrote them is gone.
void removeStaleCopies(const std::filesystem::path& dir);

// Copies every selected entry's files, then the update program, its icons and the
// uninstaller. A failed entry file raises FileCopyError and ends the run there.
void installationRun(Files& files, const Catalogue& catalogue, std::string_view sourceDir,
                     Gauge& overall, Gauge& file, StatusLine& programStatus,
                     StatusLine& fileStatus);

} // namespace zel
