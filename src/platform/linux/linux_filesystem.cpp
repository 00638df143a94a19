#include "platform/linux/linux_filesystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

#include "common/texts.h"
#include "platform/linux/fd.h"
#include "streams/dos_streams.h"

namespace tessaly {

namespace {

constexpr std::string_view UserPrefix = "user.";
constexpr const char* NtfsStreamList = "ntfs.streams.list";
constexpr long FuseSuperMagic = 0x65735546;

std::string_view folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string_view(".") : std::string_view(path).substr(0, slash + 1);
}

std::string attributeName(const std::string& stream)
{
    return std::string(UserPrefix) + stream;
}

// The attribute a Samba or ksmbd server keeps the stream in for its Windows clients.
std::string dosAttributeName(const std::string& stream)
{
    return std::string(UserPrefix) + DosStreamAttribute(stream);
}

constexpr std::string_view SambaDosAttributes = "DOSATTRIB";

bool hasAttribute(const std::string& file, const std::string& name)
{
    return ::getxattr(file.c_str(), name.c_str(), nullptr, 0) >= 0;
}

// Whether a new stream of file is to be stored the way the file server that shares it stores
// streams: the file, or the folder it is in, carries the server's DOS attributes, or the file has
// server streams already. A stream stored as a plain attribute there would stay invisible to the
// server's clients. (A file that a save is assembling beside its target has no marks of its own
// yet; the folder's tell.)
bool servedBySmbServer(const std::string& file)
{
    const std::string marks = std::string(UserPrefix).append(SambaDosAttributes);
    if (hasAttribute(file, marks) || hasAttribute(std::string(folderOf(file)), marks))
        return true;
    const ssize_t size = ::listxattr(file.c_str(), nullptr, 0);
    if (size <= 0)
        return false;
    std::string names(std::size_t(size), '\0');
    const ssize_t got = ::listxattr(file.c_str(), names.data(), names.size());
    const std::string_view prefix = "user.DosStream.";
    for (std::size_t at = 0; got > 0 && at < std::size_t(got);) {
        const std::size_t end = names.find('\0', at);
        if (std::string_view(names).substr(at, prefix.size()) == prefix)
            return true;
        at = end == std::string::npos ? std::size_t(got) : end + 1;
    }
    return false;
}

// Names separated by NUL bytes, as listxattr and the ntfs-3g stream list give them.
template <class F>
void forEachName(const char* data, std::size_t size, F f)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            if (i > start)
                f(std::string_view(data + start, i - start));
            start = i + 1;
        }
    }
    if (start < size)
        f(std::string_view(data + start, size - start));
}

// Reads a whole attribute-like value with a size query first; the value may change in between, so
// a too-small buffer is retried.
Expected<std::string> readAttribute(const std::string& path, const char* name)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::getxattr(path.c_str(), name, nullptr, 0);
        if (size < 0)
            return ErrnoError(errno);
        // A buffer of size 0 would be taken as a second size query and its answer as the value.
        if (size == 0)
            return std::string();
        std::string value(std::size_t(size), '\0');
        const ssize_t got = ::getxattr(path.c_str(), name, value.data(), value.size());
        if (got >= 0) {
            value.resize(std::size_t(got));
            return value;
        }
        if (errno != ERANGE)
            return ErrnoError(errno);
    }
    return ErrnoError(ERANGE);
}

Expected<std::string> readWholeFile(const std::string& path)
{
    auto opened = openRegularForReading(path);
    if (!opened.ok())
        return opened.error();
    const UniqueFd fd = std::move(opened.value());
    std::string data;
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ErrnoError(errno);
        }
        if (n == 0)
            break;
        data.append(buf, std::size_t(n));
    }
    return data;
}

}  // namespace

SysError ErrnoError(int code)
{
    return {code, std::strerror(code)};
}

SysError NotRegularError(unsigned mode)
{
    if (S_ISDIR(mode))
        return ErrnoError(EISDIR);
    return SysError{EINVAL, std::string(texts::NotRegularFile)};
}

bool LinuxFileSystem::onFuseVolume(const std::string& path)
{
    // Compared in place: this runs for every file without streams, most files of a scan. The folder
    // scan asks from several threads, so each keeps its own last folder.
    thread_local std::string lastFolder;
    thread_local bool lastFolderIsFuse = false;
    const std::string_view folder = folderOf(path);
    if (folder != lastFolder) {
        lastFolder = folder;
        struct statfs sf {};
        lastFolderIsFuse = ::statfs(lastFolder.c_str(), &sf) == 0 && long(sf.f_type) == FuseSuperMagic;
    }
    return lastFolderIsFuse;
}

bool LinuxFileSystem::hasWindowsStreamInterface(const std::string& file)
{
    return ::getxattr(file.c_str(), NtfsStreamList, nullptr, 0) >= 0;
}

namespace {

// The "user." names of an attribute list, each sized by sizeOf(attribute name).
// failure, when given, receives the first reason a stream's size could not be asked for (a file
// the user may not read); a stream removed in the meantime is no failure.
template <class SizeOf>
std::vector<StreamInfo> userStreams(const char* names, ssize_t size, SizeOf sizeOf, int* failure = nullptr)
{
    std::vector<StreamInfo> streams;
    if (size <= 0)
        return streams;
    forEachName(names, std::size_t(size), [&](std::string_view name) {
        if (name.substr(0, UserPrefix.size()) != UserPrefix)
            return;
        // Names end with a NUL byte inside the list, so they are asked for in place; only a last
        // name without one needs a terminated copy.
        const bool terminated = name.data() + name.size() < names + size;
        const ssize_t valueSize = sizeOf(terminated ? name.data() : std::string(name).c_str());
        if (valueSize < 0) {
            if (failure && *failure == 0 && errno != ENODATA)
                *failure = errno;
            return;
        }
        const std::string_view attribute = name.substr(UserPrefix.size());
        // The file server's own record of the DOS attributes is no stream to its clients.
        if (attribute == SambaDosAttributes)
            return;
        if (auto stream = DosStreamName(attribute))
            streams.push_back({std::move(*stream), DosStreamSize(std::uint64_t(valueSize))});
        else
            streams.push_back({std::string(attribute), std::uint64_t(valueSize)});
    });
    return streams;
}

// Lists into small, or into large when the list does not fit: one call for almost every file.
template <class List>
ssize_t listNames(List list, char (&small)[4096], std::string& large, const char*& names)
{
    names = small;
    ssize_t size = list(small, sizeof small);
    if (size < 0 && errno == ERANGE) {
        const ssize_t need = list(nullptr, 0);
        if (need > 0) {
            large.resize(std::size_t(need));
            size = list(large.data(), large.size());
            names = large.data();
        }
    }
    return size;
}

// A file with several streams is asked for their sizes through a descriptor of its own, so that
// the kernel resolves its name once rather than once per stream. Only a regular file is opened (a
// device or FIFO is never touched), read-only and without blocking, and only when the descriptor is
// the very file that was looked at; otherwise nothing is returned and the sizes are asked by name.
UniqueFd OpenForSizes(int dirFd, const char* name, const char* names, ssize_t size)
{
    int userNames = 0;
    forEachName(names, size > 0 ? std::size_t(size) : 0, [&](std::string_view n) {
        userNames += n.substr(0, UserPrefix.size()) == UserPrefix;
    });
    if (userNames < 2)
        return {};
    struct stat before {};
    if (::fstatat(dirFd, name, &before, 0) != 0 || !S_ISREG(before.st_mode))
        return {};
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat after {};
    if (!fd.valid() || ::fstat(fd.get(), &after) != 0 || after.st_dev != before.st_dev ||
        after.st_ino != before.st_ino)
        return {};
    return fd;
}

// The attribute calls relative to an open folder (listxattrat, getxattrat), in the kernel since
// 6.13: they resolve one name instead of the whole path, which makes a scan of many files about a
// quarter faster. Older kernels (Debian 12 has 6.1) answer ENOSYS, and the calls by path serve.
// Their numbers are those of the common system-call table, the same on every architecture but alpha.
#if defined(__linux__) && !defined(__alpha__)
constexpr long SysGetXattrAt = 464;
constexpr long SysListXattrAt = 465;
struct XattrArgs {
    std::uint64_t value = 0;
    std::uint32_t size = 0;
    std::uint32_t flags = 0;
};
std::atomic<bool> relativeAttributeCalls{true};
#else
std::atomic<bool> relativeAttributeCalls{false};
#endif

}  // namespace

std::vector<StreamInfo> LinuxFileSystem::windowsInterfaceStreams(const std::string& path)
{
    std::vector<StreamInfo> streams;
    // ntfs-3g with streams_interface=windows lists no attributes; its streams come from its own list.
    if (onFuseVolume(path)) {
        auto list = readAttribute(path, NtfsStreamList);
        if (list.ok()) {
            forEachName(list.value().data(), list.value().size(), [&](std::string_view name) {
                struct stat st {};
                const std::string streamPath = path + ":" + std::string(name);
                if (::stat(streamPath.c_str(), &st) == 0)
                    streams.push_back({std::string(name), std::uint64_t(st.st_size)});
            });
        }
    }
    return streams;
}

std::vector<StreamInfo> LinuxFileSystem::listStreams(const std::string& path)
{
    char small[4096];
    std::string large;
    const char* names = nullptr;
    const ssize_t size = listNames(
        [&](char* buf, std::size_t n) { return ::listxattr(path.c_str(), buf, n); }, small, large, names);
    const UniqueFd file = OpenForSizes(AT_FDCWD, path.c_str(), names, size);
    auto streams = userStreams(names, size, [&](const char* attr) {
        return file.valid() ? ::fgetxattr(file.get(), attr, nullptr, 0) : ::getxattr(path.c_str(), attr, nullptr, 0);
    });
    if (!streams.empty())
        return streams;
    return windowsInterfaceStreams(path);
}

std::vector<StreamInfo> LinuxFileSystem::listStreamsIn(FolderListing& folder, const std::string& name,
                                                       const std::string& path)
{
    auto streams = readStreamsIn(folder, name, path);
    return streams.ok() ? std::move(streams.value()) : std::vector<StreamInfo>();
}

namespace {

// Errors of an attribute list that mean there is nothing to list rather than that it could not be
// read: the file has gone, a link leads nowhere or round in a loop, the file system keeps none.
bool NothingToList(int code)
{
    return code == ENOENT || code == ELOOP || code == ENOTDIR || code == ENOTSUP;
}

}  // namespace

Expected<std::vector<StreamInfo>> LinuxFileSystem::readStreamsIn(FolderListing& folder, const std::string& name,
                                                                 const std::string& path)
{
    const int dirFd = int(folder.nativeHandle());
    const bool relative = dirFd >= 0 && relativeAttributeCalls.load(std::memory_order_relaxed);
    // Without the relative calls, a path longer than the system takes is reached through the open
    // folder's own entry in /proc.
    std::string viaFolder;
    if (!relative && dirFd >= 0 && path.size() >= PATH_MAX)
        viaFolder = "/proc/self/fd/" + std::to_string(dirFd) + "/" + name;
    const std::string& byPath = viaFolder.empty() ? path : viaFolder;

    char small[4096];
    std::string large;
    const char* names = nullptr;
    ssize_t size = 0;
#if defined(__linux__) && !defined(__alpha__)
    if (relative) {
        // Links are followed, as listxattr does.
        size = listNames([&](char* buf, std::size_t n) { return ::syscall(SysListXattrAt, dirFd, name.c_str(), 0, buf, n); },
                         small, large, names);
        if (size < 0 && errno == ENOSYS) {
            relativeAttributeCalls.store(false, std::memory_order_relaxed);
            return readStreamsIn(folder, name, path);
        }
    } else
#endif
    {
        size = listNames([&](char* buf, std::size_t n) { return ::listxattr(byPath.c_str(), buf, n); }, small, large,
                         names);
    }
    if (size < 0) {
        const int code = errno;
        if (NothingToList(code))
            return std::vector<StreamInfo>();
        return ErrnoError(code);
    }
    const UniqueFd file = relative ? OpenForSizes(dirFd, name.c_str(), names, size)
                                   : OpenForSizes(AT_FDCWD, byPath.c_str(), names, size);
    int failure = 0;
    auto streams = userStreams(
        names, size,
        [&](const char* attr) -> ssize_t {
            if (file.valid())
                return ::fgetxattr(file.get(), attr, nullptr, 0);
#if defined(__linux__) && !defined(__alpha__)
            if (relative) {
                XattrArgs args;
                return ::syscall(SysGetXattrAt, dirFd, name.c_str(), 0, attr, &args, sizeof args);
            }
#endif
            return ::getxattr(byPath.c_str(), attr, nullptr, 0);
        },
        &failure);
    if (failure != 0)
        return ErrnoError(failure);
    if (!streams.empty())
        return streams;
    return windowsInterfaceStreams(byPath);
}

std::uint64_t LinuxFileSystem::fileSizeOf(const std::string& path)
{
    // A folder counts 0, as a folder entry of the Windows listing does (not its block size).
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) ? std::uint64_t(st.st_size) : 0;
}

bool LinuxFileSystem::pathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::optional<SysError> LinuxFileSystem::pathError(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        return std::nullopt;
    return ErrnoError(errno);
}

bool LinuxFileSystem::streamExists(const std::string& file, const std::string& stream)
{
    if (hasAttribute(file, attributeName(stream)) || hasAttribute(file, dosAttributeName(stream)))
        return true;
    if (hasWindowsStreamInterface(file)) {
        struct stat st {};
        return ::stat((file + ":" + stream).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }
    return false;
}

Expected<std::string> LinuxFileSystem::readItem(const ItemRef& item)
{
    if (!item.isStream())
        return readWholeFile(item.file);
    if (hasWindowsStreamInterface(item.file))
        return readWholeFile(item.file + ":" + item.stream);
    auto value = readAttribute(item.file, attributeName(item.stream).c_str());
    if (!value.ok() && value.error().code == ENODATA) {
        auto stored = readAttribute(item.file, dosAttributeName(item.stream).c_str());
        if (stored.ok())
            return std::string(DosStreamData(stored.value()));
    }
    if (!value.ok() && value.error().code == E2BIG)
        return SysError{E2BIG, std::string(texts::AttributeTooLargeToRead) + " (" + value.error().message + ")。" +
                                   std::string(texts::NtfsReadHint)};
    return value;
}

std::optional<SysError> LinuxFileSystem::writeItem(const ItemRef& item, std::string_view data)
{
    if (!item.isStream() || hasWindowsStreamInterface(item.file))
        return writeThroughWriter(item, data);
    if (auto refused = RefuseServerName(item.stream))
        return refused;
    // A stream the file server keeps stays where its clients see it, in the server's stored form.
    const std::string plain = attributeName(item.stream);
    std::string stored;
    std::string_view value = data;
    std::string name = plain;
    if (!hasAttribute(item.file, plain) &&
        (hasAttribute(item.file, dosAttributeName(item.stream)) || servedBySmbServer(item.file))) {
        name = dosAttributeName(item.stream);
        stored = DosStreamValue(data);
        value = stored;
    }
    if (value.size() > MaxAttributeSize)
        return AttributeTooLargeError(E2BIG, item.file, data.size());

    // ntfs-3g keeps such an attribute as a real stream and replaces it by cutting the old one off
    // first: a full volume would leave it empty. Room is checked before, and the old value is put
    // back should the new one fail all the same. Other writers of the file wait meanwhile.
    UniqueFd lock(::open(item.file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    while (lock.valid() && ::flock(lock.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    std::optional<std::string> old;
    if (onFuseVolume(item.file)) {
        auto current = readAttribute(item.file, name.c_str());
        if (current.ok())
            old = std::move(current.value());
        struct statvfs sv {};
        const std::uint64_t grows = value.size() > (old ? old->size() : 0) ? value.size() - (old ? old->size() : 0) : 0;
        if (::statvfs(item.file.c_str(), &sv) == 0 &&
            std::uint64_t(sv.f_bavail) * sv.f_frsize < grows + (std::uint64_t(1) << 16))
            return ErrnoError(ENOSPC);
    }
    if (::setxattr(item.file.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) {
        const int code = errno;
        if (old)
            ::setxattr(item.file.c_str(), name.c_str(), old->data(), old->size(), 0);
        else if (onFuseVolume(item.file))
            ::removexattr(item.file.c_str(), name.c_str());
        if (code == E2BIG || code == ENOSPC)
            return AttributeTooLargeError(code, item.file, data.size());
        return ErrnoError(code);
    }
    return std::nullopt;
}

std::optional<SysError> RefuseServerName(const std::string& stream)
{
    // As Samba compares them: without regard to case.
    const auto same = [&](std::string_view name, bool prefix = false) {
        if (stream.size() < name.size() || (!prefix && stream.size() != name.size()))
            return false;
        for (std::size_t i = 0; i < name.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(stream[i])) != std::tolower(static_cast<unsigned char>(name[i])))
                return false;
        return true;
    };
    if (same("DOSATTRIB") || same("DosAttrib") || same("SAMBA_PAI") || same("SAMBA_STREAMS") || same("DosStream.", true))
        return SysError{EPERM, std::string(texts::ServerOwnedName)};
    return std::nullopt;
}

SysError AttributeTooLargeError(int code, const std::string& file, std::size_t valueSize)
{
    // ENOSPC also means a full volume; only when there is room for the value is it the attribute
    // limit (ext4 keeps all attributes of a file within one block).
    if (code == ENOSPC) {
        struct statvfs sv {};
        if (::statvfs(file.c_str(), &sv) != 0 ||
            std::uint64_t(sv.f_bavail) * sv.f_frsize < std::uint64_t(valueSize) + (std::uint64_t(1) << 20))
            return ErrnoError(code);
    }
    std::string message = std::string(texts::AttributeTooLargeToWrite) + " (" + std::strerror(code) + ")";
    struct statfs sf {};
    if (::statfs(file.c_str(), &sf) == 0 && long(sf.f_type) == FuseSuperMagic)
        message += "。" + std::string(texts::NtfsWriteHint);
    return SysError{code, std::move(message)};
}

}  // namespace tessaly
