#include "platform/linux/unfinished.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/linux/linux_filesystem.h"
#include "platform/linux/user_folders.h"

namespace tessaly {

namespace {

constexpr const char* NotePrefix = "note-";
constexpr const char* SpoolPrefix = "spool-";
// The state of a copy in place sits at the start of its note, rewritten after every piece; the
// note's kind and paths follow it.
constexpr std::size_t StateSize = 128;

// Makes the folder and its parents (mode 0700) and opens it without following a link; a folder
// of another user is not used.
UniqueFd openNotesFolder(const std::string& folder)
{
    if (folder.empty())
        return {};
    MakeParentFolders(folder);
    ::mkdir(folder.c_str(), 0700);
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!dir.valid() || ::fstat(dir.get(), &st) != 0 || st.st_uid != ::geteuid())
        return {};
    return dir;
}

bool writeAllTo(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

std::string readSmall(int fd)
{
    std::string data;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || data.size() > (1u << 16))
            return data;
        data.append(buf, std::size_t(n));
    }
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string identity(const struct stat& st)
{
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::int64_t nanoseconds(const struct timespec& t)
{
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// What tells a target as a copy left it from the same target written again later.
struct CopyState {
    std::uint64_t dev = 0, ino = 0, size = 0, copied = 0;
    std::int64_t mtime = 0, ctime = 0;
    bool operator==(const CopyState&) const = default;
};

CopyState stateOf(const struct stat& st, std::uint64_t copied)
{
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::uint64_t(st.st_size), copied,
            nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

std::string stateText(const CopyState& s)
{
    char text[StateSize];
    std::snprintf(text, sizeof text, "C %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRId64 " %" PRId64 " %" PRIu64, s.dev,
                  s.ino, s.size, s.mtime, s.ctime, s.copied);
    std::string state(text);
    state.resize(StateSize - 1, ' ');
    return state + "\n";
}

std::optional<CopyState> parseState(const std::string& note)
{
    CopyState s;
    if (std::sscanf(note.c_str(), "C %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNd64 " %" SCNd64 " %" SCNu64, &s.dev, &s.ino,
                    &s.size, &s.mtime, &s.ctime, &s.copied) != 6)
        return std::nullopt;
    return s;
}

// Whether the bytes of a and b agree on [at, at + size).
bool sameBytes(int a, int b, std::uint64_t at, std::size_t size)
{
    std::string x(size, '\0'), y(size, '\0');
    return ::pread(a, x.data(), size, off_t(at)) == ssize_t(size) && ::pread(b, y.data(), size, off_t(at)) == ssize_t(size) &&
           x == y;
}

// Whether the target is as the cut-off copy left it: exactly as recorded after its last whole
// piece, or, when the kill came in the middle of the next piece, the same file, changed no
// earlier than that, holding the spool's bytes at the start, just before the piece and at the
// piece's start (the piece had begun). A target written again by anything else fails this.
bool leftByCopy(const CopyState& recorded, int target, const struct stat& now, int spool)
{
    if (stateOf(now, recorded.copied) == recorded)
        return true;
    constexpr std::uint64_t Sample = 4096;
    const std::uint64_t at = recorded.copied;
    if (std::uint64_t(now.st_dev) != recorded.dev || std::uint64_t(now.st_ino) != recorded.ino ||
        nanoseconds(now.st_mtim) < recorded.mtime || std::uint64_t(now.st_size) <= at)
        return false;
    const std::size_t head = std::size_t(std::min(at, Sample));
    const std::size_t before = head;
    const std::size_t begun = std::size_t(std::min<std::uint64_t>(Sample, std::uint64_t(now.st_size) - at));
    return sameBytes(target, spool, 0, head) && sameBytes(target, spool, at - before, before) &&
           sameBytes(target, spool, at, begun);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// A spool path named in a note: only a spool file of the notes folder itself.
bool isOwnSpool(const std::string& path)
{
    const std::string folder = UnfinishedNotesFolder();
    return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size() + 1, folder + "/") == 0 &&
           path.find('/', folder.size() + 1) == std::string::npos && startsWith(baseName(path), SpoolPrefix);
}

// Completes a copy that was cut off: the spool's content into target, from its start.
void completeCopy(int spool, int target)
{
    struct stat st {};
    if (::fstat(spool, &st) != 0)
        return;
    auto buffer = std::make_unique<char[]>(1 << 20);
    off_t at = 0;
    while (at < st.st_size) {
        const ssize_t n = ::pread(spool, buffer.get(), 1 << 20, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(target, buffer.get() + done, std::size_t(n - done), at + done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return;
            done += w;
        }
        at += n;
    }
    if (::ftruncate(target, st.st_size) == 0)
        ::fsync(target);
}

// Settles what one note tells of.
void undo(const std::string& note)
{
    if (note.size() < StateSize + 2 || note[StateSize + 1] != '\0')
        return;
    const char kind = note[StateSize];
    std::vector<std::string> fields;
    for (std::size_t at = StateSize + 2; at <= note.size();) {
        const auto end = note.find('\0', at);
        fields.push_back(note.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? note.size() + 1 : end + 1;
    }
    struct stat st {};
    if (kind == 'T' && fields.size() == 2) {
        // Only the very file that was made (it may have been given the owner of the file it was to
        // replace, so the owner tells nothing).
        const std::string& path = fields[0];
        if (startsWith(baseName(path), SaveTempPrefix) && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            identity(st) == fields[1])
            ::unlink(path.c_str());
    } else if (kind == 'W' && fields.size() == 3) {
        const std::string& target = fields[0];
        const std::string& spool = fields[1];
        if (!isOwnSpool(spool))
            return;
        // A spool still being filled: the target was never touched.
        if (note[0] == 'C') {
            UniqueFd lockFile(::open(fields[2].c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            if (lockFile.valid())
                ::flock(lockFile.get(), LOCK_EX);
            UniqueFd in(::open(spool.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            UniqueFd out(::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            const auto recorded = parseState(note);
            if (in.valid() && out.valid() && recorded && ::fstat(out.get(), &st) == 0 && S_ISREG(st.st_mode) &&
                leftByCopy(*recorded, out.get(), st, in.get()))
                completeCopy(in.get(), out.get());
        }
        ::unlink(spool.c_str());
    }
}

// Files to remove from a handler of a terminating signal: fixed slots, nothing allocated there.
struct SignalSlot {
    std::atomic<bool> used{false};
    char path[4096];
};
std::array<SignalSlot, 32> signalSlots;

}  // namespace

std::string UnfinishedNotesFolder()
{
    const std::string cache = UserCacheFolder();
    return cache.empty() ? std::string() : cache + "/Tessaly/unfinished";
}

UnfinishedNote::UnfinishedNote(UnfinishedNote&& other) noexcept
    : notePath_(std::exchange(other.notePath_, {})), lock_(std::move(other.lock_))
{
}

UnfinishedNote& UnfinishedNote::operator=(UnfinishedNote&& other) noexcept
{
    if (this != &other) {
        done();
        notePath_ = std::exchange(other.notePath_, {});
        lock_ = std::move(other.lock_);
    }
    return *this;
}

UnfinishedNote UnfinishedNote::forTempFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return make('T', {path, identity(st)});
}

UnfinishedNote UnfinishedNote::forCopy(const std::string& target, const std::string& spool, const std::string& lockFile)
{
    if (spool.empty())
        return {};
    return make('W', {target, spool, lockFile});
}

UnfinishedNote UnfinishedNote::make(char kind, const std::vector<std::string>& fields)
{
    // Without a place for notes the write goes on all the same; only the clean-up after a kill
    // is lost.
    UnfinishedNote note;
    const std::string folder = UnfinishedNotesFolder();
    if (!openNotesFolder(folder).valid())
        return note;
    // Written and locked under a name the clean-up ignores, then given its real name, so that a
    // clean-up never sees a note that is not complete and held.
    std::string draft = folder + "/.draft-XXXXXX";
    UniqueFd fd(::mkostemp(draft.data(), O_CLOEXEC));
    if (!fd.valid())
        return note;
    std::string content(StateSize - 1, ' ');
    content.append("\n").append(1, kind);
    for (const std::string& field : fields)
        content.append(1, '\0').append(field);
    std::string final = folder + "/" + NotePrefix + draft.substr(draft.size() - 6);
    if (::flock(fd.get(), LOCK_EX) != 0 || !writeAllTo(fd.get(), content) ||
        ::rename(draft.c_str(), final.c_str()) != 0) {
        ::unlink(draft.c_str());
        return note;
    }
    note.notePath_ = std::move(final);
    note.lock_ = std::move(fd);
    return note;
}

void UnfinishedNote::copying(int targetFd, std::uint64_t copied)
{
    struct stat st {};
    if (!valid() || ::fstat(targetFd, &st) != 0)
        return;
    const std::string state = stateText(stateOf(st, copied));
    (void)!::pwrite(lock_.get(), state.data(), state.size(), 0);
}

void UnfinishedNote::done()
{
    if (!notePath_.empty())
        ::unlink(notePath_.c_str());
    notePath_.clear();
    lock_.reset();
}

Expected<Spool> MakeSpool()
{
    const std::string folder = UnfinishedNotesFolder();
    if (openNotesFolder(folder).valid()) {
        // Locked under a name the clean-up ignores before it gets its real one, as notes are.
        std::string draft = folder + "/.draft-XXXXXX";
        UniqueFd fd(::mkostemp(draft.data(), O_CLOEXEC));
        if (fd.valid()) {
            std::string final = folder + "/" + SpoolPrefix + draft.substr(draft.size() - 6);
            if (::flock(fd.get(), LOCK_EX) == 0 && ::rename(draft.c_str(), final.c_str()) == 0)
                return Spool{std::move(fd), std::move(final)};
            ::unlink(draft.c_str());
        }
    }
    const char* tmp = std::getenv("TMPDIR");
    UniqueFd fd(::open(tmp && *tmp ? tmp : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!fd.valid())
        return ErrnoError(errno);
    return Spool{std::move(fd), {}};
}

void CleanUnfinishedWrites()
{
    const std::string folder = UnfinishedNotesFolder();
    UniqueFd dirFd = openNotesFolder(folder);
    if (!dirFd.valid())
        return;
    struct CloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    std::vector<std::string> spools;
    {
        std::unique_ptr<DIR, CloseDir> dir(::fdopendir(::dup(dirFd.get())));
        if (!dir)
            return;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string name = entry->d_name;
            if (startsWith(name, SpoolPrefix))
                spools.push_back(name);
            if (!startsWith(name, NotePrefix))
                continue;
            UniqueFd note(::openat(dirFd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            struct stat st {};
            if (!note.valid() || ::fstat(note.get(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            // Held by a write that is still running.
            if (::flock(note.get(), LOCK_EX | LOCK_NB) != 0)
                continue;
            undo(readSmall(note.get()));
            ::unlinkat(dirFd.get(), name.c_str(), 0);
        }
    }
    // A spool whose note never came to be (a kill in between); one in use is held by its writer.
    for (const std::string& name : spools) {
        UniqueFd spool(::openat(dirFd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (spool.valid() && ::flock(spool.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd.get(), name.c_str(), 0);
    }
}

void RemoveOnSignal(const std::string& path)
{
    if (path.empty() || path.size() >= sizeof(SignalSlot::path))
        return;
    for (SignalSlot& slot : signalSlots) {
        bool expected = false;
        if (slot.used.load() || !slot.used.compare_exchange_strong(expected, true))
            continue;
        // The first byte last: a handler running in between sees an empty name, never part of one.
        std::memcpy(slot.path + 1, path.c_str() + 1, path.size());
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slot.path[0] = path[0];
        return;
    }
}

void KeepOnSignal(const std::string& path)
{
    for (SignalSlot& slot : signalSlots)
        if (slot.used.load() && path == slot.path) {
            slot.path[0] = '\0';
            slot.used.store(false);
            return;
        }
}

void RemoveRegisteredFiles()
{
    for (SignalSlot& slot : signalSlots)
        if (slot.used.load() && slot.path[0] != '\0')
            ::unlink(slot.path);
}

DeferredSignals::DeferredSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&set, s);
    ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

DeferredSignals::~DeferredSignals()
{
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace tessaly
