#pragma once
// Writes that a killed process would leave half done are noted in the user's cache folder while
// they run, so that the next start can settle them:
// - a hidden temporary file beside a target is removed (the target was never touched);
// - a write in place (a file with more links, an ntfs-3g stream) first gathers its whole new
//   content in a spool file of its own and only then copies it into the target; a copy that was
//   cut off is completed from the spool, but only while the target is still exactly as the copy
//   left it (same file, same size, same change times): anything written after it is left alone.
// A note is held locked by the process that writes; only notes that nobody holds are acted on.

#include <signal.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/fd.h"
#include "platform/system.h"

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
    // A write in place of target whose new content is being gathered in spool; writers of target
    // take the lock of lockFile (the target, or the file a stream path belongs to).
    static UnfinishedNote forCopy(const std::string& target, const std::string& spool, const std::string& lockFile);

    bool valid() const { return !notePath_.empty(); }
    // The spool is complete and the copy into the target (open at targetFd) begins, or has written
    // one more piece, so that the first `copied` bytes are in place: records that and what the
    // target is now, so that the clean-up can tell whether anything wrote the target after this
    // write.
    void copying(int targetFd, std::uint64_t copied);
    // The write is over (finished or cleaned up by the writer itself): the note goes.
    void done();

private:
    static UnfinishedNote make(char kind, const std::vector<std::string>& fields);
    std::string notePath_;
    UniqueFd lock_;
};

// A private file that holds a write's new content until it is complete: in the notes folder, so
// that a note can name it, and held locked while in use. Where there is no notes folder it is an
// unnamed file in the temporary folder (path empty), which nothing can leave behind.
struct Spool {
    UniqueFd fd;
    std::string path;
};
Expected<Spool> MakeSpool();

// $XDG_CACHE_HOME/Tessaly/unfinished (~/.cache/Tessaly/unfinished).
std::string UnfinishedNotesFolder();

// Settles what writes of earlier runs that never ended left behind, and removes their notes. Run
// at start.
void CleanUnfinishedWrites();

// Hidden temporary files and spools registered here are removed by RemoveRegisteredFiles, which
// a handler of a terminating signal may call (it only unlinks).
void RemoveOnSignal(const std::string& path);
void KeepOnSignal(const std::string& path);
void RemoveRegisteredFiles();

// Blocks the signals that end a program from a terminal or a session (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT) while it lives, so that a copy into a target is never cut off by them; they arrive
// afterwards.
class DeferredSignals {
public:
    DeferredSignals();
    ~DeferredSignals();
    DeferredSignals(const DeferredSignals&) = delete;
    DeferredSignals& operator=(const DeferredSignals&) = delete;

private:
    sigset_t saved_;
};

}  // namespace tessaly
