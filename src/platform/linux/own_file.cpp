#include "platform/linux/own_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/fd.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/unfinished.h"

namespace tessaly {

std::optional<SysError> ReplaceWithOwnFile(const std::string& path, std::string_view data, unsigned mode)
{
    const auto slash = path.rfind('/');
    std::string temp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + SaveTempPrefix + "XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid())
        return ErrnoError(errno);
    UnfinishedNote note = UnfinishedNote::forTempFile(temp);
    const auto fail = [&](int code) {
        fd.reset();
        ::unlink(temp.c_str());
        return ErrnoError(code);
    };
    while (!data.empty()) {
        const ssize_t n = ::write(fd.get(), data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        data.remove_prefix(std::size_t(n));
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd.get(), mode_t(mode) & ~mask) != 0 || ::fsync(fd.get()) != 0)
        return fail(errno);
    if (::close(fd.release()) != 0)
        return fail(errno);
    // rename replaces the entry itself: a link found at path goes, its target stays as it was.
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return fail(errno);
    return std::nullopt;
}

}  // namespace tessaly
