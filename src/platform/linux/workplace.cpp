#include "platform/linux/workplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/linux/fd.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/user_folders.h"

namespace tessaly {

namespace {

constexpr const char* FolderName = "Tessaly";

bool validName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::string DefaultWorkPlaceFolder()
{
    std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!runtime.empty() && ::stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        return runtime + "/" + FolderName;
    const std::string cache = UserCacheFolder();
    return (cache.empty() ? std::string("/nonexistent/.cache") : cache) + "/" + FolderName;
}

LinuxWorkPlace::LinuxWorkPlace(std::string folder) : folder_(std::move(folder))
{
    if (folder_.empty())
        folder_ = DefaultWorkPlaceFolder();
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
}

Expected<UniqueFd> LinuxWorkPlace::openFolder()
{
    MakeParentFolders(folder_);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST)
            return ErrnoError(errno);
        UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!dir.valid()) {
            const int code = errno;
            if (code != ELOOP && code != ENOTDIR)
                return ErrnoError(code);
            // A symbolic link or a file where the folder belongs: not ours to follow.
            if (::unlink(folder_.c_str()) != 0 && errno != ENOENT)
                return ErrnoError(errno);
            continue;
        }
        struct stat st {};
        if (::fstat(dir.get(), &st) != 0)
            return ErrnoError(errno);
        if (st.st_uid != ::geteuid())
            return ErrnoError(EACCES);
        if ((st.st_mode & 07777) != 0700 && ::fchmod(dir.get(), 0700) != 0)
            return ErrnoError(errno);
        return Expected<UniqueFd>(std::move(dir));
    }
    return ErrnoError(ELOOP);
}

Expected<UniqueFd> LinuxWorkPlace::openFolderFor(const std::string& name)
{
    if (!validName(name))
        return ErrnoError(EINVAL);
    return openFolder();
}

Expected<UniqueFd> LinuxWorkPlace::openOwnerFolder(const std::string& sub)
{
    if (!validName(sub))
        return ErrnoError(EINVAL);
    auto opened = openFolder();
    if (!opened)
        return opened.error();
    const UniqueFd root = std::move(opened.value());
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::mkdirat(root.get(), sub.c_str(), 0700) != 0 && errno != EEXIST)
            return ErrnoError(errno);
        UniqueFd dir(::openat(root.get(), sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (dir.valid())
            return Expected<UniqueFd>(std::move(dir));
        if (errno != ELOOP && errno != ENOTDIR)
            return ErrnoError(errno);
        // A link or file where the folder belongs: not ours to follow (the folder is private).
        if (::unlinkat(root.get(), sub.c_str(), 0) != 0 && errno != ENOENT)
            return ErrnoError(errno);
    }
    return ErrnoError(ELOOP);
}

Expected<UniqueFd> LinuxWorkPlace::openHolderOf(const std::string& name, std::string& leaf)
{
    const auto slash = name.find('/');
    if (slash == std::string::npos) {
        leaf = name;
        return openFolderFor(name);
    }
    leaf = name.substr(slash + 1);
    if (!validName(leaf))
        return ErrnoError(EINVAL);
    return openOwnerFolder(name.substr(0, slash));
}

std::string LinuxWorkPlace::OwnerFolderName(const std::string& owner)
{
    // FNV-1a over the whole path: stable between runs, so that a file's copies stay together.
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : owner)
        hash = (hash ^ c) * 1099511628211ull;
    const auto slash = owner.rfind('/');
    std::string base = owner.substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.size() > 64)
        base.resize(64);
    for (char& c : base)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '_';
    if (base.empty() || base == "." || base == "..")
        base = "_";
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(hash));
    return base + "-" + digest;
}

Expected<std::string> LinuxWorkPlace::folderFor(const std::string& owner)
{
    const std::string sub = OwnerFolderName(owner);
    auto dir = openOwnerFolder(sub);
    if (!dir)
        return dir.error();
    return folder_ + "/" + sub + "/";
}

Expected<std::string> LinuxWorkPlace::placeFor(const std::string& owner, const std::string& name)
{
    if (!validName(name))
        return ErrnoError(EINVAL);
    const std::string sub = OwnerFolderName(owner);
    auto opened = openOwnerFolder(sub);
    if (!opened)
        return opened.error();
    const UniqueFd dir = std::move(opened.value());
    const auto dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = n == 1 ? name
                                             : (hasExtension ? name.substr(0, dot) : name) + " (" + std::to_string(n) +
                                                   ")" + (hasExtension ? name.substr(dot) : std::string());
        const std::string path = folder_ + "/" + sub + "/" + candidate;
        struct stat st {};
        if (::fstatat(dir.get(), candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return path;
            return ErrnoError(errno);
        }
        // A link is replaced, never followed; a copy of ours that nobody touched may go; anything
        // else (the user's edit of a copy, a file put there) stays, and the copy takes a new name.
        const auto known = written_.find(path);
        const bool ours = S_ISREG(st.st_mode) && known != written_.end() &&
                          known->second == Fingerprint{st.st_dev, st.st_ino, static_cast<unsigned long long>(st.st_size),
                                                       st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec,
                                                       st.st_ctim.tv_sec * 1000000000ll + st.st_ctim.tv_nsec};
        if (S_ISLNK(st.st_mode) || ours) {
            if (::unlinkat(dir.get(), candidate.c_str(), 0) != 0 && errno != ENOENT)
                return ErrnoError(errno);
            written_.erase(path);
            return path;
        }
    }
    return ErrnoError(EEXIST);
}

void LinuxWorkPlace::remember(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    written_[path] = Fingerprint{st.st_dev, st.st_ino, static_cast<unsigned long long>(st.st_size),
                                 st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec,
                                 st.st_ctim.tv_sec * 1000000000ll + st.st_ctim.tv_nsec};
}

Expected<std::string> LinuxWorkPlace::exportFor(const std::string& owner, const std::string& name, std::string_view data)
{
    auto place = placeFor(owner, name);
    if (!place)
        return place.error();
    auto written = writeReadOnly(place.value(), data);
    if (written)
        remember(written.value());
    return written;
}

Expected<std::string> LinuxWorkPlace::folder()
{
    auto dir = openFolder();
    if (!dir)
        return dir.error();
    return folder_ + "/";
}

std::optional<SysError> LinuxWorkPlace::clearEntry(const std::string& whole)
{
    std::string name;
    auto opened = openHolderOf(whole, name);
    if (!opened)
        return opened.error();
    const UniqueFd dir = std::move(opened.value());
    struct stat st {};
    if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<SysError>(ErrnoError(errno));
    if (S_ISDIR(st.st_mode))
        return ErrnoError(EISDIR);
    if (::unlinkat(dir.get(), name.c_str(), 0) != 0 && errno != ENOENT)
        return ErrnoError(errno);
    return std::nullopt;
}

Expected<std::string> LinuxWorkPlace::exportReadOnly(const std::string& name, std::string_view data)
{
    if (!validName(name))
        return ErrnoError(EINVAL);
    if (auto error = clearEntry(name))
        return *error;
    return writeReadOnly(folder_ + "/" + name, data);
}

Expected<std::string> LinuxWorkPlace::writeReadOnly(const std::string& path, std::string_view data)
{
    const std::string relative = path.substr(folder_.size() + 1);
    std::string name;
    auto opened = openHolderOf(relative, name);
    if (!opened)
        return opened.error();
    const UniqueFd dir = std::move(opened.value());
    UniqueFd file(::openat(dir.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid())
        return ErrnoError(errno);
    auto fail = [&](int code) {
        file.reset();
        ::unlinkat(dir.get(), name.c_str(), 0);
        return ErrnoError(code);
    };
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(file.get(), data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        done += std::size_t(n);
    }
    if (::fchmod(file.get(), 0444) != 0)
        return fail(errno);
    return path;
}

}  // namespace tessaly
