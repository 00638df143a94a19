// Reading and writing items in pieces: plain files and ntfs-3g "file:stream" paths through file
// descriptors, attribute streams (at most 64 KiB) whole.
//
// Replacing an existing plain file keeps the file. Where a new file can take its place without
// losing anything (one link, our folder to write, owner, mode and every attribute carried over), the
// new content is written to a hidden file beside it, synced and renamed over it: a failed or killed
// write leaves the old file whole. Otherwise (more links, an ntfs-3g volume, something this user
// cannot give a new file, no room for old and new at once) the file is written in place, once the
// room for the new content has been made.

#include "platform/linux/linux_filesystem.h"

#include <fcntl.h>
#include <stdlib.h>
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

// Where a plain-file write goes: the file that a path names, whether it exists, and what it is.
struct WriteTarget {
    std::string path;
    bool exists = false;
    struct stat st {};
};

// Follows a link that the user owns to the file it names (the link stays); a link someone else
// placed is never followed: the new file replaces the link itself. A folder, FIFO or device is not
// replaced, and an existing file that this user may not write is refused before anything happens.
Expected<WriteTarget> resolveWriteTarget(const std::string& given)
{
    WriteTarget t;
    t.path = given;
    t.exists = ::lstat(given.c_str(), &t.st) == 0;
    if (t.exists && S_ISLNK(t.st.st_mode)) {
        if (t.st.st_uid != ::geteuid()) {
            t.exists = false;
        } else {
            std::unique_ptr<char, decltype(&::free)> resolved(::realpath(given.c_str(), nullptr), &::free);
            if (resolved) {
                t.path = resolved.get();
                t.exists = ::stat(t.path.c_str(), &t.st) == 0;
            } else {
                t.exists = false;  // a dangling link is replaced by the new file
            }
        }
    }
    if (t.exists && !S_ISREG(t.st.st_mode))
        return NotRegularError(t.st.st_mode);
    if (t.exists && ::faccessat(AT_FDCWD, t.path.c_str(), W_OK, AT_EACCESS) != 0)
        return ErrnoError(errno);
    return t;
}

std::string folderPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool onFuse(const std::string& path)
{
    struct statfs sf {};
    return ::statfs(path.c_str(), &sf) == 0 && long(sf.f_type) == FuseSuperMagic;
}

// Whether a new file renamed over the target can take its place without anything being lost: one
// link only (a rename would split the others off), a folder we may write, and no ntfs-3g volume,
// whose real streams and NTFS data do not all pass through attributes. Owner, mode and attributes
// are checked while they are carried over (carryOver).
bool replaceableByRename(const WriteTarget& t)
{
    if (!t.exists)
        return true;
    const std::string folder = folderPart(t.path);
    return t.st.st_nlink == 1 && ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 &&
           !onFuse(t.path);
}

// Gives the new file what the old one carries: owner and group, mode, and every extended attribute
// of every namespace (streams, access lists, security labels, capabilities). Fails as soon as any
// of it cannot be carried over by this user.
std::optional<SysError> carryOver(const WriteTarget& from, int to)
{
    if (::fchown(to, from.st.st_uid, from.st.st_gid) != 0)
        return ErrnoError(errno);
    if (::fchmod(to, from.st.st_mode & 07777) != 0)
        return ErrnoError(errno);
    const char* path = from.path.c_str();
    std::string names;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t need = ::llistxattr(path, nullptr, 0);
        if (need < 0)
            return errno == ENOTSUP ? std::nullopt : std::optional<SysError>(ErrnoError(errno));
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
    struct statvfs sv {};
    if (::fstatvfs(fd, &sv) != 0)
        return std::nullopt;  // nothing known: the writes will tell
    const std::uint64_t need = size > already ? size - already : 0;
    // Some slack for the file system's own records of the new blocks.
    if (std::uint64_t(sv.f_bavail) * sv.f_frsize < need + need / 64 + (std::uint64_t(1) << 16))
        return ErrnoError(ENOSPC);
    return std::nullopt;
}

std::optional<SysError> syncFolderOf(const std::string& path)
{
    UniqueFd dir(::open(folderPart(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return std::nullopt;
}

// A file created under a hidden temporary name in a folder, removed again unless it was renamed
// into place. A note of it lets the next start remove it should this process be killed.
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
        UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
        if (!fd.valid())
            return ErrnoError(errno);
        TempFile temp;
        temp.path_ = name;
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
        path_.clear();
        note_.done();
        syncFolderOf(target);
        return std::nullopt;
    }
    void remove()
    {
        fd_.reset();
        if (!path_.empty())
            ::unlink(path_.c_str());
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

// A plain file's new content: written beside it and renamed over it when finished, or, where that
// would lose something the file carries (or there is no room for old and new at once), written
// into the file itself once the room for it is there.
class PlainFileWriter final : public ItemWriter {
public:
    PlainFileWriter(WriteTarget target, TempFile temp) : target_(std::move(target)), temp_(std::move(temp)) {}
    PlainFileWriter(WriteTarget target, UniqueFd inPlace) : target_(std::move(target)), fd_(std::move(inPlace)) {}

    std::optional<SysError> reserve(std::uint64_t size) override
    {
        if (!fd_.valid()) {
            auto error = makeRoom(temp_.fd(), size, 0);
            if (!error || error->code != ENOSPC || !target_.exists)
                return error;
            // No room for both: the old data makes room for the new, in place.
            auto opened = openInPlace(target_);
            if (!opened.ok())
                return opened.error();
            temp_.remove();
            fd_ = std::move(opened.value());
        }
        return makeRoom(fd_.get(), size, std::uint64_t(target_.st.st_size));
    }
    std::optional<SysError> write(std::string_view data) override { return writeAll(fd(), data); }
    std::optional<SysError> finish() override
    {
        if (!fd_.valid()) {
            // Room made ahead beyond what arrived is given back before the file takes its place.
            const off_t end = ::lseek(temp_.fd(), 0, SEEK_CUR);
            if (end < 0 || ::ftruncate(temp_.fd(), end) != 0)
                return ErrnoError(errno);
            return temp_.renameTo(target_.path);
        }
        // The file keeps what was written up to here and nothing after it.
        const off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(fd_.get(), end) != 0 || ::fsync(fd_.get()) != 0)
            return ErrnoError(errno);
        return closeChecked(fd_);
    }
    void takeDirectly(ItemReader& reader) override { copyInKernel(reader, fd()); }

    static Expected<UniqueFd> openInPlace(const WriteTarget& target)
    {
        UniqueFd fd(::open(target.path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd.valid())
            return ErrnoError(errno);
        return Expected<UniqueFd>(std::move(fd));
    }

private:
    int fd() const { return fd_.valid() ? fd_.get() : temp_.fd(); }

    WriteTarget target_;
    TempFile temp_;
    UniqueFd fd_;  // valid when writing in place
};

// A "file:stream" path of ntfs-3g: streams cannot be renamed into place, so they are written
// directly, once the room for them is there. A stream that this writer created and could not
// finish is removed again, so that a half-written stream never counts as existing.
class StreamPathWriter final : public ItemWriter {
public:
    StreamPathWriter(UniqueFd fd, std::string path, std::uint64_t oldSize, UnfinishedNote created)
        : fd_(std::move(fd)), path_(std::move(path)), oldSize_(oldSize), created_(std::move(created))
    {
    }
    ~StreamPathWriter() override
    {
        if (!finished_ && isNew()) {
            fd_.reset();
            ::unlink(path_.c_str());
        }
    }
    std::optional<SysError> reserve(std::uint64_t size) override
    {
        return makeRoom(fd_.get(), size, isNew() ? 0 : oldSize_);
    }
    std::optional<SysError> write(std::string_view data) override { return writeAll(fd_.get(), data); }
    std::optional<SysError> finish() override
    {
        const off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(fd_.get(), end) != 0)
            return ErrnoError(errno);
        if (auto error = closeChecked(fd_))
            return error;
        finished_ = true;
        created_.done();
        return std::nullopt;
    }
    void takeDirectly(ItemReader& reader) override { copyInKernel(reader, fd_.get()); }

    static constexpr std::uint64_t NotThere = ~std::uint64_t(0);

private:
    bool isNew() const { return oldSize_ == NotThere; }

    UniqueFd fd_;
    std::string path_;
    std::uint64_t oldSize_;
    UnfinishedNote created_;
    bool finished_ = false;
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

Expected<std::unique_ptr<ItemWriter>> LinuxFileSystem::openWrite(const ItemRef& item)
{
    if (!item.isStream())
        return openPlainWrite(item.file);
    // Refused before anything is written, also where the file system itself would not check.
    if (::faccessat(AT_FDCWD, item.file.c_str(), W_OK, AT_EACCESS) != 0)
        return ErrnoError(errno);
    if (hasWindowsStreamInterface(item.file))
        return openStreamPathWrite(item);
    return std::unique_ptr<ItemWriter>(std::make_unique<AttributeWriter>(*this, item));
}

Expected<std::unique_ptr<ItemWriter>> LinuxFileSystem::openPlainWrite(const std::string& file)
{
    // The data of a file that a whole-workspace save is assembling goes straight into it.
    if (pendingTemps_.count(file)) {
        WriteTarget own;
        own.path = file;
        UniqueFd fd(::open(file.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid())
            return ErrnoError(errno);
        return std::unique_ptr<ItemWriter>(std::make_unique<PlainFileWriter>(std::move(own), std::move(fd)));
    }
    auto target = resolveWriteTarget(file);
    if (!target.ok())
        return target.error();
    if (replaceableByRename(target.value())) {
        auto temp = TempFile::besideTarget(target.value());
        if (temp.ok())
            return std::unique_ptr<ItemWriter>(
                std::make_unique<PlainFileWriter>(std::move(target.value()), std::move(temp.value())));
        if (!target.value().exists)
            return temp.error();
        // Something the file carries cannot be given to a new one by this user: write in place.
    }
    auto fd = PlainFileWriter::openInPlace(target.value());
    if (!fd.ok())
        return fd.error();
    return std::unique_ptr<ItemWriter>(std::make_unique<PlainFileWriter>(std::move(target.value()), std::move(fd.value())));
}

Expected<std::unique_ptr<ItemWriter>> LinuxFileSystem::openStreamPathWrite(const ItemRef& item)
{
    const std::string path = item.file + ":" + item.stream;
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    UnfinishedNote note = existed ? UnfinishedNote() : UnfinishedNote::forNewStream(item.file, item.stream);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.valid())
        return ErrnoError(errno);
    const std::uint64_t oldSize = existed ? std::uint64_t(st.st_size) : StreamPathWriter::NotThere;
    return std::unique_ptr<ItemWriter>(std::make_unique<StreamPathWriter>(std::move(fd), path, oldSize, std::move(note)));
}

Expected<std::unique_ptr<PendingFile>> LinuxFileSystem::createPending(const std::string& target)
{
    auto resolved = resolveWriteTarget(target);
    if (!resolved.ok())
        return resolved.error();
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
