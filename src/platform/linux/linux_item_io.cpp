// Reading and writing items in pieces: plain files and ntfs-3g "file:stream" paths through file
// descriptors, attribute streams (at most 64 KiB) whole.
//
// Every write leaves its target as it was or as intended. Where a new file can take an existing
// file's place without losing anything (one link, our folder to write, owner, mode and every
// attribute seen and carried over), the new content is written to a hidden file beside it, synced
// and renamed over it. Otherwise (more links, an ntfs-3g volume or stream, something this user
// cannot see or give a new file) the new content is gathered whole in a private spool first and
// then copied in place under the file's write lock (see SpooledWriter).

#include "platform/linux/linux_filesystem.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "common/texts.h"
#include "platform/linux/fd.h"
#include "platform/linux/unfinished.h"

namespace tessaly {

namespace {

constexpr long FuseSuperMagic = 0x65735546;

}  // namespace

// Opens a regular file for reading. O_NONBLOCK keeps the open itself from waiting on a FIFO
// without a writer; anything but a regular file is refused before a byte is read.
Expected<UniqueFd> openRegularForReading(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return ErrnoError(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return ErrnoError(errno);
    if (!S_ISREG(st.st_mode))
        return NotRegularError(st.st_mode);
    return Expected<UniqueFd>(std::move(fd));
}

namespace {

std::optional<SysError> writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ErrnoError(errno);
        }
        data.remove_prefix(std::size_t(n));
    }
    return std::nullopt;
}

std::optional<SysError> closeChecked(UniqueFd& fd)
{
    // Some file systems (network, FUSE) report a failed write only when the file is closed.
    if (fd.valid() && ::close(fd.release()) != 0)
        return ErrnoError(errno);
    return std::nullopt;
}

class FdReader final : public ItemReader {
public:
    explicit FdReader(UniqueFd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }
    std::optional<std::uint64_t> size() const override
    {
        struct stat st {};
        return ::fstat(fd_.get(), &st) == 0 ? std::optional<std::uint64_t>(std::uint64_t(st.st_size)) : std::nullopt;
    }
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, size);
            if (n >= 0)
                return std::size_t(n);
            if (errno != EINTR)
                return ErrnoError(errno);
        }
    }

private:
    UniqueFd fd_;
};

class BufferReader final : public ItemReader {
public:
    explicit BufferReader(std::string data) : data_(std::move(data)) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::min(size, data_.size() - offset_);
        std::memcpy(buffer, data_.data() + offset_, n);
        offset_ += n;
        return n;
    }
    std::optional<std::uint64_t> size() const override { return data_.size(); }

private:
    std::string data_;
    std::size_t offset_ = 0;
};

// Where a plain-file write goes: the file that a path names, whether it exists, and whether it is
// a pipe or character device that the bytes are passed through to.
struct WriteTarget {
    std::string path;
    bool exists = false;
    bool through = false;
    struct stat st {};
};

std::string folderPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// The rule the kernel keeps with fs.protected_symlinks, kept here whether or not it is switched on:
// a link in a sticky folder that anyone may write is followed only when it belongs to the writer or
// to the folder's owner. Anyone could have planted it there to lead a write elsewhere.
std::optional<SysError> refuseForeignLink(const std::string& path, const struct stat& link)
{
    struct stat folder {};
    if (link.st_uid == ::geteuid() || ::stat(folderPart(path).c_str(), &folder) != 0)
        return std::nullopt;
    if ((folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && link.st_uid != folder.st_uid)
        return SysError{EACCES, std::string(texts::ForeignLinkInSharedFolder)};
    return std::nullopt;
}

// Follows a link that the user owns to the file it names (the link stays); a link someone else
// placed is never followed: the new file replaces the link itself. A pipe or character device,
// named or reached through a link (/dev/stdout), gets the bytes passed through; a folder, socket
// or block device is refused, and an existing file that this user may not write is refused before
// anything happens.
Expected<WriteTarget> resolveWriteTarget(const std::string& given)
{
    WriteTarget t;
    t.path = given;
    t.exists = ::lstat(given.c_str(), &t.st) == 0;
    if (t.exists && S_ISLNK(t.st.st_mode)) {
        if (auto refused = refuseForeignLink(given, t.st))
            return *refused;
        struct stat named {};
        if (::stat(given.c_str(), &named) != 0) {
            if (errno != ENOENT)
                return ErrnoError(errno);
            t.exists = false;  // a dangling link is replaced by the new file
        } else if (!S_ISREG(named.st_mode)) {
            t.st = named;  // what it leads to decides, never the link
        } else if (t.st.st_uid != ::geteuid()) {
            t.exists = false;
        } else {
            std::unique_ptr<char, decltype(&::free)> resolved(::realpath(given.c_str(), nullptr), &::free);
            if (!resolved)
                return ErrnoError(errno);
            t.path = resolved.get();
            t.exists = ::stat(t.path.c_str(), &t.st) == 0;
        }
    }
    if (t.exists && (S_ISFIFO(t.st.st_mode) || S_ISCHR(t.st.st_mode))) {
        t.through = true;
        return t;
    }
    if (t.exists && !S_ISREG(t.st.st_mode))
        return NotRegularError(t.st.st_mode);
    if (t.exists && ::faccessat(AT_FDCWD, t.path.c_str(), W_OK, AT_EACCESS) != 0)
        return ErrnoError(errno);
    return t;
}

bool onFuse(const std::string& path)
{
    struct statfs sf {};
    return ::statfs(path.c_str(), &sf) == 0 && long(sf.f_type) == FuseSuperMagic;
}

// Whether this process sees every extended attribute a file may carry: those of the "trusted."
// namespace are listed only to holders of CAP_SYS_ADMIN, and a new file made without them would
// lose them unseen.
bool seesEveryAttribute()
{
    static const bool sees = [] {
        UniqueFd status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
        char text[4096] = {};
        if (!status.valid() || ::read(status.get(), text, sizeof text - 1) <= 0)
            return ::geteuid() == 0;
        const char* caps = std::strstr(text, "CapEff:");
        if (!caps)
            return ::geteuid() == 0;
        const unsigned long long effective = std::strtoull(caps + 7, nullptr, 16);
        return (effective >> 21 & 1) != 0;  // CAP_SYS_ADMIN
    }();
    return sees;
}

// Whether a new file renamed over the target can take its place without anything being lost: one
// link only (a rename would split the others off), a folder we may write, no ntfs-3g volume, whose
// real streams and NTFS data do not all pass through attributes, and every attribute visible to
// this process. Owner, mode and attributes are checked while they are carried over (carryOver).
bool replaceableByRename(const WriteTarget& t)
{
    if (!t.exists)
        return true;
    const std::string folder = folderPart(t.path);
    return t.st.st_nlink == 1 && seesEveryAttribute() &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 && !onFuse(t.path);
}

// Gives the new file what the old one carries, and nothing else: owner and group, every extended
// attribute of every namespace (streams, access lists, security labels, capabilities), and mode.
// An access list the new file took from its folder's default goes first: the old file did not
// have it, and it could let others read. Fails as soon as any of it cannot be carried over by
// this user.
std::optional<SysError> carryOver(const WriteTarget& from, int to)
{
    if (::fchown(to, from.st.st_uid, from.st.st_gid) != 0)
        return ErrnoError(errno);
    if (::fremovexattr(to, "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP)
        return ErrnoError(errno);
    const char* path = from.path.c_str();
    std::string names;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t need = ::llistxattr(path, nullptr, 0);
        if (need < 0) {
            if (errno == ENOTSUP)
                break;
            return ErrnoError(errno);
        }
        names.resize(std::size_t(need));
        const ssize_t got = need == 0 ? 0 : ::llistxattr(path, names.data(), names.size());
        if (got >= 0) {
            names.resize(std::size_t(got));
            break;
        }
        if (errno != ERANGE)
            return ErrnoError(errno);
    }
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.c_str() + at;
        at += std::strlen(name) + 1;
        const ssize_t size = ::lgetxattr(path, name, nullptr, 0);
        if (size < 0)
            return ErrnoError(errno);
        value.resize(std::size_t(size));
        const ssize_t got = size == 0 ? 0 : ::lgetxattr(path, name, value.data(), value.size());
        if (got < 0)
            return ErrnoError(errno);
        if (::fsetxattr(to, name, value.data(), std::size_t(got), 0) != 0)
            return ErrnoError(errno);
    }
    // Last: the owner change cleared set-id bits, and the mode also sets an access list's mask.
    if (::fchmod(to, from.st.st_mode & 07777) != 0)
        return ErrnoError(errno);
    return std::nullopt;
}

// Whether the volume holding fd has room for need more bytes, with some slack for the file
// system's own records of them; for volumes that cannot allocate ahead.
std::optional<SysError> freeSpaceFor(int fd, std::uint64_t need)
{
    struct statvfs sv {};
    if (need == 0 || ::fstatvfs(fd, &sv) != 0)
        return std::nullopt;  // nothing known: the writes will tell
    if (std::uint64_t(sv.f_bavail) * sv.f_frsize < need + need / 64 + (std::uint64_t(1) << 16))
        return ErrnoError(ENOSPC);
    return std::nullopt;
}

// Makes room for size bytes in the file at fd (which holds already bytes now) without changing its
// size. Where the file system cannot allocate ahead, its free space is compared instead.
std::optional<SysError> makeRoom(int fd, std::uint64_t size, std::uint64_t already)
{
    if (size == 0)
        return std::nullopt;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0)
        return std::nullopt;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return ErrnoError(errno);
    return freeSpaceFor(fd, size > already ? size - already : 0);
}

void syncFolderOf(const std::string& path)
{
    UniqueFd dir(::open(folderPart(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
}

// The lock that every Tessaly writer of a file takes while it changes the file in place, so that two
// writers (two windows, a window and the command line) never mix their bytes. An advisory lock on
// the file itself; none when the file cannot be opened at all.
UniqueFd lockForWriting(const std::string& file)
{
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        fd = UniqueFd(::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    while (fd.valid() && ::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    return fd;
}

// A file created under a hidden temporary name in a folder, removed again unless it was renamed
// into place. A note of it lets the next start remove it should this process be killed, and a
// terminating signal handled by the command line removes it at once.
class TempFile {
public:
    TempFile() = default;
    TempFile(TempFile&& other) noexcept
        : path_(std::exchange(other.path_, {})), fd_(std::move(other.fd_)), note_(std::move(other.note_))
    {
    }
    TempFile& operator=(TempFile&&) = delete;
    ~TempFile() { remove(); }

    // In the target's folder, so that the final rename stays on one volume. It takes over the
    // existing target's owner, mode and attributes; a new file gets the mode a new file gets.
    static Expected<TempFile> besideTarget(const WriteTarget& target)
    {
        std::string name = folderPart(target.path) + SaveTempPrefix + "XXXXXX";
        TempFile temp;
        UniqueFd fd;
        {
            // Known to the signal handlers from the moment it exists.
            const DeferredSignals held;
            fd = UniqueFd(::mkostemp(name.data(), O_CLOEXEC));
            if (!fd.valid())
                return ErrnoError(errno);
            temp.path_ = name;
            RemoveOnSignal(name);
        }
        temp.note_ = UnfinishedNote::forTempFile(name);
        if (target.exists) {
            if (auto error = carryOver(target, fd.get()))
                return *error;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::fchmod(fd.get(), 0666 & ~mask) != 0)
                return ErrnoError(errno);
        }
        temp.fd_ = std::move(fd);
        return Expected<TempFile>(std::move(temp));
    }

    const std::string& path() const { return path_; }
    int fd() const { return fd_.get(); }
    std::optional<SysError> close() { return closeChecked(fd_); }
    // Puts the file, on disk in full, in place of target; afterwards nothing is removed.
    std::optional<SysError> renameTo(const std::string& target)
    {
        // Its data on disk before its name is: a crash never leaves the target empty.
        if (!fd_.valid())
            fd_ = UniqueFd(::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd_.valid() && ::fsync(fd_.get()) != 0)
            return ErrnoError(errno);
        if (auto error = close())
            return error;
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return ErrnoError(errno);
        KeepOnSignal(path_);
        path_.clear();
        note_.done();
        syncFolderOf(target);
        return std::nullopt;
    }
    void remove()
    {
        fd_.reset();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
            KeepOnSignal(path_);
        }
        path_.clear();
        note_.done();
    }

private:
    std::string path_;
    UniqueFd fd_;
    UnfinishedNote note_;
};

// File to file, the kernel copies without passing the bytes through this process (and may share
// blocks on file systems that can). Stops at the end, or at the first refusal: the caller's
// piecewise copy goes on from the offsets reached and reports any error properly.
void copyInKernel(ItemReader& reader, int out)
{
    auto* file = dynamic_cast<FdReader*>(&reader);
    if (!file)
        return;
    for (;;) {
        const ssize_t n = ::copy_file_range(file->fd(), nullptr, out, nullptr, std::size_t(1) << 30, 0);
        if (n <= 0 && !(n < 0 && errno == EINTR))
            return;
    }
}

// Copies size bytes of in (from its start) into out (from its start), a piece at a time, calling
// after() when each piece is written.
template <class After>
std::optional<SysError> copyWhole(int in, int out, std::uint64_t size, After after)
{
    constexpr std::size_t Piece = std::size_t(8) << 20;
    std::unique_ptr<char[]> buffer;
    off_t from = 0, to = 0;
    while (std::uint64_t(from) < size) {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(Piece, size - std::uint64_t(from)));
        if (!buffer) {
            const ssize_t n = ::copy_file_range(in, &from, out, &to, want, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0) {
                after(std::uint64_t(to));
                continue;
            }
            // Not between these two files (another volume, a FUSE file): through a buffer.
            buffer = std::make_unique<char[]>(Piece);
        }
        const ssize_t n = ::pread(in, buffer.get(), want, from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return ErrnoError(n == 0 ? EIO : errno);
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(out, buffer.get() + done, std::size_t(n - done), to + done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return ErrnoError(w == 0 ? EIO : errno);
            done += w;
        }
        from += n;
        to += n;
        after(std::uint64_t(to));
    }
    return std::nullopt;
}

// A write into an existing target in place: a file with more links, on an ntfs-3g volume, owned
// by someone this user cannot give a new file, or an ntfs-3g "file:stream" path (streams cannot be
// renamed into place). The whole new content is gathered in a private spool first, so its size is
// known and room for it is made before the target changes, and a slow or failing source, Ctrl+C
// or a full volume leave the target as it was. Then, holding the target's write lock and with
// terminating signals held back, the spool is copied in; a kill during that copy is completed by
// the next start from the spool (see UnfinishedNote). A stream that this writer would create and
// could not finish is removed again.
class SpooledWriter final : public ItemWriter {
public:
    SpooledWriter(std::string target, std::string lockFile, bool mayCreate, Spool spool)
        : target_(std::move(target)), lockFile_(std::move(lockFile)), mayCreate_(mayCreate), spool_(std::move(spool))
    {
        RemoveOnSignal(spool_.path);
        note_ = UnfinishedNote::forCopy(target_, spool_.path, lockFile_);
    }
    ~SpooledWriter() override
    {
        note_.done();
        if (!spool_.path.empty()) {
            ::unlink(spool_.path.c_str());
            KeepOnSignal(spool_.path);
        }
    }
    std::optional<SysError> reserve(std::uint64_t size) override
    {
        if (auto error = makeRoom(spool_.fd.get(), size, 0))
            return error;
        // The target's own room is made when it is opened; a volume clearly too full is told now,
        // before a slow source is read.
        UniqueFd probe(::open(lockFile_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        const std::uint64_t old = ::stat(target_.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0;
        return probe.valid() && size > old ? freeSpaceFor(probe.get(), size - old) : std::nullopt;
    }
    std::optional<SysError> write(std::string_view data) override { return writeAll(spool_.fd.get(), data); }
    void takeDirectly(ItemReader& reader) override { copyInKernel(reader, spool_.fd.get()); }
    bool changedTarget() const override { return changed_; }

    std::optional<SysError> finish() override
    {
        const off_t size = ::lseek(spool_.fd.get(), 0, SEEK_CUR);
        if (size < 0 || ::ftruncate(spool_.fd.get(), size) != 0)
            return ErrnoError(errno);
        // On disk before the note says that the copy may be completed from it.
        if (note_.valid() && ::fdatasync(spool_.fd.get()) != 0)
            return ErrnoError(errno);

        const UniqueFd lock = lockForWriting(lockFile_);
        struct stat st {};
        const bool existed = ::stat(target_.c_str(), &st) == 0;
        if (!existed && !mayCreate_)
            return ErrnoError(ENOENT);
        UniqueFd out(::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (mayCreate_ ? O_CREAT : 0),
                            0666));
        if (!out.valid())
            return ErrnoError(errno);
        const auto fail = [&](SysError error) -> std::optional<SysError> {
            if (!existed) {
                // A stream that never was whole goes again; the target is as it was.
                out.reset();
                ::unlink(target_.c_str());
                changed_ = false;
            }
            return error;
        };
        if (auto error = makeRoom(out.get(), std::uint64_t(size), existed ? std::uint64_t(st.st_size) : 0))
            return fail(*error);

        {
            const DeferredSignals held;
            changed_ = true;
            note_.copying(out.get(), 0);
            if (auto error = copyWhole(spool_.fd.get(), out.get(), std::uint64_t(size),
                                       [&](std::uint64_t copied) { note_.copying(out.get(), copied); }))
                return fail(*error);
            if (::ftruncate(out.get(), size) != 0 || ::fsync(out.get()) != 0)
                return fail(ErrnoError(errno));
            if (auto error = closeChecked(out))
                return fail(*error);
        }
        changed_ = false;
        note_.done();
        return std::nullopt;
    }

private:
    std::string target_;
    std::string lockFile_;
    bool mayCreate_;
    Spool spool_;
    UnfinishedNote note_;
    bool changed_ = false;
};

Expected<std::unique_ptr<ItemWriter>> spooledWrite(std::string target, std::string lockFile, bool mayCreate)
{
    auto spool = MakeSpool();
    if (!spool.ok())
        return spool.error();
    return std::unique_ptr<ItemWriter>(
        std::make_unique<SpooledWriter>(std::move(target), std::move(lockFile), mayCreate, std::move(spool.value())));
}

// A plain file's new content, written beside it and renamed over it when finished. Where there is
// no room for old and new at once, it goes in place through a spool instead.
class PlainFileWriter final : public ItemWriter {
public:
    PlainFileWriter(WriteTarget target, TempFile temp) : target_(std::move(target)), temp_(std::move(temp)) {}

    std::optional<SysError> reserve(std::uint64_t size) override
    {
        if (inPlace_)
            return inPlace_->reserve(size);
        auto error = makeRoom(temp_.fd(), size, 0);
        if (!error || error->code != ENOSPC || !target_.exists)
            return error;
        auto spooled = spooledWrite(target_.path, target_.path, false);
        if (!spooled.ok())
            return spooled.error();
        temp_.remove();
        inPlace_ = std::move(spooled.value());
        return inPlace_->reserve(size);
    }
    std::optional<SysError> write(std::string_view data) override
    {
        return inPlace_ ? inPlace_->write(data) : writeAll(temp_.fd(), data);
    }
    std::optional<SysError> finish() override
    {
        if (inPlace_)
            return inPlace_->finish();
        // Room made ahead beyond what arrived is given back before the file takes its place.
        const off_t end = ::lseek(temp_.fd(), 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(temp_.fd(), end) != 0)
            return ErrnoError(errno);
        return temp_.renameTo(target_.path);
    }
    void takeDirectly(ItemReader& reader) override
    {
        if (inPlace_)
            inPlace_->takeDirectly(reader);
        else
            copyInKernel(reader, temp_.fd());
    }
    bool changedTarget() const override { return inPlace_ && inPlace_->changedTarget(); }

private:
    WriteTarget target_;
    TempFile temp_;
    std::unique_ptr<ItemWriter> inPlace_;
};

// The data of a file that a whole-workspace save is assembling: written straight into it, as
// nothing else knows of it yet.
class DirectWriter final : public ItemWriter {
public:
    explicit DirectWriter(UniqueFd fd, bool regular = true) : fd_(std::move(fd)), regular_(regular) {}
    std::optional<SysError> reserve(std::uint64_t size) override
    {
        return regular_ ? makeRoom(fd_.get(), size, 0) : std::nullopt;
    }
    std::optional<SysError> write(std::string_view data) override { return writeAll(fd_.get(), data); }
    std::optional<SysError> finish() override
    {
        if (regular_) {
            const off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
            if (end < 0 || ::ftruncate(fd_.get(), end) != 0)
                return ErrnoError(errno);
        }
        return closeChecked(fd_);
    }
    void takeDirectly(ItemReader& reader) override
    {
        if (regular_)
            copyInKernel(reader, fd_.get());
    }

private:
    UniqueFd fd_;
    bool regular_;
};

// An attribute is set whole; a value beyond the kernel's limit is refused as soon as it grows past
// it, so memory stays bounded whatever the source's size.
class AttributeWriter final : public ItemWriter {
public:
    AttributeWriter(LinuxFileSystem& fs, ItemRef item) : fs_(fs), item_(std::move(item)) {}
    std::optional<SysError> write(std::string_view data) override
    {
        if (value_.size() + data.size() > MaxAttributeSize)
            return AttributeTooLargeError(E2BIG, item_.file, value_.size() + data.size());
        value_.append(data);
        return std::nullopt;
    }
    std::optional<SysError> finish() override { return fs_.writeItem(item_, value_); }

private:
    LinuxFileSystem& fs_;
    ItemRef item_;
    std::string value_;
};

class LinuxPendingFile final : public PendingFile {
public:
    LinuxPendingFile(LinuxFileSystem& fs, TempFile temp, std::string target)
        : fs_(fs), temp_(std::move(temp)), target_(std::move(target))
    {
        temp_.close();
        fs_.addPending(temp_.path());
    }
    ~LinuxPendingFile() override { fs_.removePending(building_); }
    const std::string& path() const override { return temp_.path(); }
    std::optional<SysError> commit() override { return temp_.renameTo(target_); }

private:
    LinuxFileSystem& fs_;
    TempFile temp_;
    std::string target_;
    std::string building_ = temp_.path();
};

}  // namespace

std::string LinuxFileSystem::resolveLink(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : path;
}

bool LinuxFileSystem::sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Expected<std::unique_ptr<ItemReader>> LinuxFileSystem::openRead(const ItemRef& item)
{
    if (item.isStream() && !hasWindowsStreamInterface(item.file)) {
        auto value = readItem(item);
        if (!value.ok())
            return value.error();
        return std::unique_ptr<ItemReader>(std::make_unique<BufferReader>(std::move(value.value())));
    }
    auto fd = openRegularForReading(item.text());
    if (!fd.ok())
        return fd.error();
    return std::unique_ptr<ItemReader>(std::make_unique<FdReader>(std::move(fd.value())));
}

Expected<std::unique_ptr<ItemReader>> LinuxFileSystem::openCopy(const ItemRef& item)
{
    auto reader = openRead(item);
    if (!reader.ok() || dynamic_cast<BufferReader*>(reader.value().get()))
        return reader;
    // An unnamed private file: nothing is left of it however this process ends.
    const char* tmp = std::getenv("TMPDIR");
    UniqueFd copy(::open(tmp && *tmp ? tmp : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!copy.valid())
        return ErrnoError(errno);
    auto& source = static_cast<FdReader&>(*reader.value());
    const auto size = source.size();
    if (auto error = copyWhole(source.fd(), copy.get(), size.value_or(0), [](std::uint64_t) {}))
        return *error;
    return std::unique_ptr<ItemReader>(std::make_unique<FdReader>(std::move(copy)));
}

Expected<std::unique_ptr<ItemWriter>> LinuxFileSystem::openWrite(const ItemRef& item)
{
    if (!item.isStream())
        return openPlainWrite(item.file);
    struct stat st {};
    if (::lstat(item.file.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        if (auto refused = refuseForeignLink(item.file, st))
            return *refused;
    // Refused before anything is written, also where the file system itself would not check.
    if (::faccessat(AT_FDCWD, item.file.c_str(), W_OK, AT_EACCESS) != 0)
        return ErrnoError(errno);
    if (hasWindowsStreamInterface(item.file))
        return spooledWrite(item.file + ":" + item.stream, item.file, true);
    if (auto refused = RefuseServerName(item.stream))
        return *refused;
    return std::unique_ptr<ItemWriter>(std::make_unique<AttributeWriter>(*this, item));
}

Expected<std::unique_ptr<ItemWriter>> LinuxFileSystem::openPlainWrite(const std::string& file)
{
    // The data of a file that a whole-workspace save is assembling goes straight into it.
    if (pendingTemps_.count(file)) {
        UniqueFd fd(::open(file.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid())
            return ErrnoError(errno);
        return std::unique_ptr<ItemWriter>(std::make_unique<DirectWriter>(std::move(fd)));
    }
    auto target = resolveWriteTarget(file);
    if (!target.ok())
        return target.error();
    if (target.value().through) {
        // O_NONBLOCK: a pipe without a reader is refused (ENXIO) instead of waiting for ever.
        UniqueFd fd(::open(target.value().path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd.valid())
            return ErrnoError(errno);
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
        return std::unique_ptr<ItemWriter>(std::make_unique<DirectWriter>(std::move(fd), false));
    }
    if (replaceableByRename(target.value())) {
        auto temp = TempFile::besideTarget(target.value());
        if (temp.ok())
            return std::unique_ptr<ItemWriter>(
                std::make_unique<PlainFileWriter>(std::move(target.value()), std::move(temp.value())));
        if (!target.value().exists)
            return temp.error();
        // Something the file carries cannot be given to a new one by this user: write in place.
    }
    return spooledWrite(target.value().path, target.value().path, false);
}

Expected<std::unique_ptr<PendingFile>> LinuxFileSystem::createPending(const std::string& target)
{
    auto resolved = resolveWriteTarget(target);
    if (!resolved.ok())
        return resolved.error();
    if (resolved.value().through)
        return NotRegularError(resolved.value().st.st_mode);
    if (replaceableByRename(resolved.value())) {
        auto temp = TempFile::besideTarget(resolved.value());
        if (temp.ok())
            return std::unique_ptr<PendingFile>(
                std::make_unique<LinuxPendingFile>(*this, std::move(temp.value()), resolved.value().path));
        if (!resolved.value().exists)
            return temp.error();
    }
    // An existing file that cannot be replaced without losing something: the save writes into it.
    return InPlacePending(resolved.value().path);
}

}  // namespace tessaly
