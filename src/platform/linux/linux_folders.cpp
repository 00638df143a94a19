#include "platform/linux/linux_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cerrno>
#include <cstring>

#include "platform/linux/fd.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/unfinished.h"

namespace tessaly {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

class LinuxFolderListing final : public FolderListing {
public:
    explicit LinuxFolderListing(UniqueDir dir) : dir_(std::move(dir)) {}

    bool next(FolderEntry& entry) override
    {
        const dirent* d = nullptr;
        for (;;) {
            // End of the folder and a read error both end the listing; error() tells them apart.
            errno = 0;
            d = ::readdir(dir_.get());
            if (!d) {
                if (errno != 0)
                    error_ = ErrnoError(errno);
                return false;
            }
            // A save's hidden file is Tessaly's own, half written: no scan or listing shows it.
            if (std::strncmp(d->d_name, SaveTempPrefix, std::strlen(SaveTempPrefix)) != 0)
                break;
        }
        entry.name = d->d_name;
        entry.size.reset();
        entry.kind = kindOf(d->d_type, d->d_name);
        return true;
    }

    std::intptr_t nativeHandle() const override { return ::dirfd(dir_.get()); }
    std::optional<SysError> error() const override { return error_; }

private:
    FolderEntry::Kind kindOf(unsigned char type, const char* name) const
    {
        using Kind = FolderEntry::Kind;
        if (type == DT_DIR)
            return Kind::Folder;
        if (type == DT_LNK)
            return linkKind(name);
        if (type != DT_UNKNOWN)
            return Kind::File;
        // Some file systems do not fill in the type: ask for it, without following a link.
        struct stat st {};
        if (::fstatat(::dirfd(dir_.get()), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::File;
        if (S_ISDIR(st.st_mode))
            return Kind::Folder;
        return S_ISLNK(st.st_mode) ? linkKind(name) : Kind::File;
    }

    FolderEntry::Kind linkKind(const char* name) const
    {
        struct stat st {};
        const bool toFolder = ::fstatat(::dirfd(dir_.get()), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        return toFolder ? FolderEntry::Kind::FolderLink : FolderEntry::Kind::File;
    }

    UniqueDir dir_;
    std::optional<SysError> error_;
};

constexpr int ListFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

Expected<std::unique_ptr<FolderListing>> ListingOf(UniqueFd fd)
{
    if (!fd.valid())
        return ErrnoError(errno);
    UniqueDir dir(::fdopendir(fd.get()));
    if (!dir)
        return ErrnoError(errno);
    fd.release();  // the listing owns it now
    return std::unique_ptr<FolderListing>(std::make_unique<LinuxFolderListing>(std::move(dir)));
}

}  // namespace

Expected<std::unique_ptr<FolderListing>> LinuxFolderSystem::openFolder(const std::string& folder)
{
    if (folder.size() < PATH_MAX)
        return ListingOf(UniqueFd(::open(folder.c_str(), ListFlags)));
    // Longer than the system takes in one call: opened piece by piece, each piece relative to the
    // folder the one before it reached, with two descriptors open at most.
    UniqueFd at;
    std::size_t begin = 0;
    while (folder.size() - begin >= PATH_MAX) {
        std::size_t cut = folder.rfind('/', begin + PATH_MAX - 2);
        if (cut == std::string::npos || cut < begin)
            return ErrnoError(ENAMETOOLONG);  // one name longer than any file system allows
        std::string piece = cut == 0 ? std::string("/") : folder.substr(begin, cut - begin);
        if (piece.empty())
            piece = ".";  // "//" inside the path
        UniqueFd next(::openat(at.valid() ? at.get() : AT_FDCWD, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next.valid())
            return ErrnoError(errno);
        at = std::move(next);
        begin = cut + 1;
    }
    const std::string rest = begin < folder.size() ? folder.substr(begin) : std::string(".");
    return ListingOf(UniqueFd(::openat(at.get(), rest.c_str(), ListFlags)));
}

Expected<std::unique_ptr<FolderListing>> LinuxFolderSystem::openFolderIn(FolderListing& parent, const std::string& name,
                                                                         const std::string& path)
{
    const int dirFd = int(parent.nativeHandle());
    if (dirFd < 0)
        return openFolder(path);
    // The entry was a folder when it was listed; a link put in its place since is not followed.
    return ListingOf(UniqueFd(::openat(dirFd, name.c_str(), ListFlags | O_NOFOLLOW)));
}

std::optional<FileFacts> LinuxFolderSystem::lookup(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileFacts{std::uint64_t(st.st_size), std::int64_t(st.st_mtim.tv_sec)};
}

std::optional<FileFacts> LinuxFolderSystem::lookupIn(FolderListing& folder, const std::string& name,
                                                     const std::string& path)
{
    const int dirFd = int(folder.nativeHandle());
    if (dirFd < 0)
        return lookup(path);
    // A link is followed, as the lookup by path does.
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, 0) != 0)
        return std::nullopt;
    return FileFacts{std::uint64_t(st.st_size), std::int64_t(st.st_mtim.tv_sec)};
}

}  // namespace tessaly
