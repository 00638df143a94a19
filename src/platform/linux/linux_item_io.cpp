// Reading and writing items in pieces: plain files and ntfs-3g "file:stream" paths through file
// descriptors, attribute streams (at most 64 KiB) whole. A plain file is never written in place:
// its new content goes to a temporary file beside it, which is renamed over it when complete.

#include "platform/linux/linux_filesystem.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/linux/fd.h"

namespace tessaly {

namespace {

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

private:
    std::string data_;
    std::size_t offset_ = 0;
};

// A file created under a temporary name in a folder, removed again unless it was renamed into
// place.
class TempFile {
public:
    TempFile() = default;
    TempFile(TempFile&& other) noexcept : path_(std::exchange(other.path_, {})), fd_(std::move(other.fd_)) {}
    TempFile& operator=(TempFile&&) = delete;
    ~TempFile()
    {
        fd_.reset();
        if (!path_.empty())
            ::unlink(path_.c_str());
    }

    // The target's folder, so that the final rename stays on one volume; the temporary file gets
    // the mode (and, where allowed, the owner) the target has, or a new file's mode.
    static Expected<TempFile> besideTarget(const std::string& target, std::string& finalPath)
    {
        finalPath = target;
        struct stat st {};
        bool exists = ::lstat(target.c_str(), &st) == 0;
        if (exists && S_ISLNK(st.st_mode) && st.st_uid != ::geteuid()) {
            // A link someone else placed is never followed: the new file replaces the link itself.
            exists = false;
        } else if (exists && S_ISLNK(st.st_mode)) {
            // The user's own link: replace what it points to, and keep the link.
            std::unique_ptr<char, decltype(&::free)> resolved(::realpath(target.c_str(), nullptr), &::free);
            if (resolved) {
                finalPath = resolved.get();
                exists = ::stat(finalPath.c_str(), &st) == 0;
            } else {
                exists = false;  // a dangling link is replaced by the new file
            }
        }
        // A folder, FIFO or device at the target is not replaced by a file.
        if (exists && !S_ISREG(st.st_mode))
            return NotRegularError(st.st_mode);

        const auto slash = finalPath.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
        std::string name = folder + ".tessaly-save-XXXXXX";
        UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
        if (!fd.valid())
            return ErrnoError(errno);
        TempFile temp;
        temp.path_ = name;
        mode_t mode;
        if (exists) {
            mode = st.st_mode & 07777;
            if (::fchown(fd.get(), st.st_uid, st.st_gid) != 0)
                mode &= ~mode_t(S_ISUID | S_ISGID);  // only the owner may keep these; not ours to give
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd.get(), mode) != 0)
            return ErrnoError(errno);
        temp.fd_ = std::move(fd);
        return Expected<TempFile>(std::move(temp));
    }

    const std::string& path() const { return path_; }
    int fd() const { return fd_.get(); }
    std::optional<SysError> close() { return closeChecked(fd_); }
    // Puts the file in place of target; afterwards nothing is removed.
    std::optional<SysError> renameTo(const std::string& target)
    {
        if (auto error = close())
            return error;
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return ErrnoError(errno);
        path_.clear();
        return std::nullopt;
    }

private:
    std::string path_;
    UniqueFd fd_;
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

// A plain file's new content, put in place when finished.
class ReplacingWriter final : public ItemWriter {
public:
    ReplacingWriter(TempFile temp, std::string target) : temp_(std::move(temp)), target_(std::move(target)) {}
    std::optional<SysError> write(std::string_view data) override { return writeAll(temp_.fd(), data); }
    std::optional<SysError> finish() override { return temp_.renameTo(target_); }
    void takeDirectly(ItemReader& reader) override { copyInKernel(reader, temp_.fd()); }

private:
    TempFile temp_;
    std::string target_;
};

// A "file:stream" path of ntfs-3g: streams cannot be renamed into place, so they are written
// directly.
class DirectWriter final : public ItemWriter {
public:
    explicit DirectWriter(UniqueFd fd) : fd_(std::move(fd)) {}
    std::optional<SysError> write(std::string_view data) override { return writeAll(fd_.get(), data); }
    std::optional<SysError> finish() override { return closeChecked(fd_); }
    void takeDirectly(ItemReader& reader) override { copyInKernel(reader, fd_.get()); }

private:
    UniqueFd fd_;
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
    LinuxPendingFile(TempFile temp, std::string target) : temp_(std::move(temp)), target_(std::move(target))
    {
        temp_.close();
    }
    const std::string& path() const override { return temp_.path(); }
    std::optional<SysError> commit() override { return temp_.renameTo(target_); }

private:
    TempFile temp_;
    std::string target_;
};

}  // namespace

Expected<std::unique_ptr<ItemReader>> LinuxFileSystem::openRead(const ItemRef& item)
{
    if (item.isStream() && !hasWindowsStreamInterface(item.file)) {
        auto value = readItem(item);
        if (!value.ok())
            return value.error();
        return std::unique_ptr<ItemReader>(std::make_unique<BufferReader>(std::move(value.value())));
    }
    auto fd = openRegularForReading(item.isStream() ? item.file + ":" + item.stream : item.file);
    if (!fd.ok())
        return fd.error();
    return std::unique_ptr<ItemReader>(std::make_unique<FdReader>(std::move(fd.value())));
}

Expected<std::unique_ptr<ItemWriter>> LinuxFileSystem::openWrite(const ItemRef& item)
{
    if (!item.isStream()) {
        std::string finalPath;
        auto temp = TempFile::besideTarget(item.file, finalPath);
        if (!temp.ok())
            return temp.error();
        return std::unique_ptr<ItemWriter>(std::make_unique<ReplacingWriter>(std::move(temp.value()), finalPath));
    }
    if (hasWindowsStreamInterface(item.file)) {
        UniqueFd fd(::open((item.file + ":" + item.stream).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!fd.valid())
            return ErrnoError(errno);
        return std::unique_ptr<ItemWriter>(std::make_unique<DirectWriter>(std::move(fd)));
    }
    // The file must be there to take an attribute; say so now rather than after the whole copy.
    struct stat st {};
    if (::stat(item.file.c_str(), &st) != 0)
        return ErrnoError(errno);
    return std::unique_ptr<ItemWriter>(std::make_unique<AttributeWriter>(*this, item));
}

Expected<std::unique_ptr<PendingFile>> LinuxFileSystem::createPending(const std::string& target)
{
    std::string finalPath;
    auto temp = TempFile::besideTarget(target, finalPath);
    if (!temp.ok())
        return temp.error();
    return std::unique_ptr<PendingFile>(std::make_unique<LinuxPendingFile>(std::move(temp.value()), finalPath));
}

}  // namespace tessaly
