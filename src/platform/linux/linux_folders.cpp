#include "platform/linux/linux_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/linux_filesystem.h"

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
        // End of the folder and a read error both end the listing, as a failing find-next does.
        const dirent* d = ::readdir(dir_.get());
        if (!d)
            return false;
        entry.name = d->d_name;
        entry.size.reset();
        entry.kind = kindOf(d->d_type, d->d_name);
        return true;
    }

    std::intptr_t nativeHandle() const override { return ::dirfd(dir_.get()); }

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
};

}  // namespace

Expected<std::unique_ptr<FolderListing>> LinuxFolderSystem::openFolder(const std::string& folder)
{
    UniqueDir dir(::opendir(folder.c_str()));
    if (!dir)
        return ErrnoError(errno);
    return std::unique_ptr<FolderListing>(std::make_unique<LinuxFolderListing>(std::move(dir)));
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
