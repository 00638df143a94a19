#include "platform/linux/workplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/linux/fd.h"
#include "platform/linux/linux_filesystem.h"

namespace tessaly {

namespace {

constexpr const char* FolderName = "Tessaly";

std::string absoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

bool validName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// mkdir -p for the folders above the work place (their modes are the user's business).
void makeParents(const std::string& path)
{
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        ::mkdir(path.substr(0, at).c_str(), 0700);
}

}  // namespace

std::string DefaultWorkPlaceFolder()
{
    std::string runtime = absoluteEnv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!runtime.empty() && ::stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        return runtime + "/" + FolderName;
    std::string cache = absoluteEnv("XDG_CACHE_HOME");
    if (cache.empty()) {
        const std::string home = absoluteEnv("HOME");
        cache = (home.empty() ? std::string("/nonexistent") : home) + "/.cache";
    }
    return cache + "/" + FolderName;
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
    makeParents(folder_);
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

Expected<std::string> LinuxWorkPlace::folder()
{
    auto dir = openFolder();
    if (!dir)
        return dir.error();
    return folder_ + "/";
}

std::optional<SysError> LinuxWorkPlace::clearEntry(const std::string& name)
{
    auto opened = openFolderFor(name);
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

std::optional<SysError> LinuxWorkPlace::makeExecutable(const std::string& name)
{
    auto opened = openFolderFor(name);
    if (!opened)
        return opened.error();
    const UniqueFd dir = std::move(opened.value());
    // Opened without following a link, so that only a regular file of the work place changes.
    UniqueFd file(::openat(dir.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file.valid() || ::fstat(file.get(), &st) != 0)
        return ErrnoError(errno);
    if (!S_ISREG(st.st_mode))
        return ErrnoError(EINVAL);
    if (::fchmod(file.get(), (st.st_mode & 07777) | S_IXUSR) != 0)
        return ErrnoError(errno);
    return std::nullopt;
}

Expected<std::string> LinuxWorkPlace::exportReadOnly(const std::string& name, std::string_view data)
{
    if (auto error = clearEntry(name))
        return *error;
    auto opened = openFolderFor(name);
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
    return folder_ + "/" + name;
}

}  // namespace tessaly
