#pragma once
// Writes that a killed process would leave half done (a hidden temporary file beside a target, a
// stream being created on an ntfs-3g volume) are noted in the user's cache folder while they run,
// so that the next start removes what such a write left behind. A note is held locked by the
// process that writes; only notes that nobody holds are acted on.

#include <string>

#include "platform/linux/fd.h"

namespace tessaly {

// The hidden temporary files of a save start with this; nothing else is ever removed by name.
inline constexpr const char* SaveTempPrefix = ".tessaly-save-";

class UnfinishedNote {
public:
    UnfinishedNote() = default;
    UnfinishedNote(UnfinishedNote&& other) noexcept;
    UnfinishedNote& operator=(UnfinishedNote&& other) noexcept;
    ~UnfinishedNote() { done(); }

    // A temporary file just made at path (its name starts with SaveTempPrefix); only that very
    // file is removed later.
    static UnfinishedNote forTempFile(const std::string& path);
    // A stream that this write creates: "file:stream" on a volume that shows streams as paths.
    static UnfinishedNote forNewStream(const std::string& file, const std::string& stream);

    // The write is over (finished or cleaned up by the writer itself): the note goes.
    void done();

private:
    static UnfinishedNote make(char kind, const std::string& first, const std::string& second);
    std::string notePath_;
    UniqueFd lock_;
};

// $XDG_CACHE_HOME/Tessaly/unfinished (~/.cache/Tessaly/unfinished).
std::string UnfinishedNotesFolder();

// Removes what writes of earlier runs that never ended left behind, and their notes. Run at start.
void CleanUnfinishedWrites();

}  // namespace tessaly
