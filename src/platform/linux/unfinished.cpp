#include "platform/linux/unfinished.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/linux/user_folders.h"

namespace tessaly {

namespace {

constexpr const char* NotePrefix = "note-";

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

bool writeAllTo(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
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

// Undoes what one note tells of: only our own hidden temporary file, or a stream path on a volume
// that answers the ntfs-3g stream list.
void undo(const std::string& note)
{
    const auto first = note.find('\0');
    if (note.size() < 2 || first != 1)
        return;
    const auto second = note.find('\0', 2);
    const std::string a = note.substr(2, second == std::string::npos ? std::string::npos : second - 2);
    const std::string b = second == std::string::npos ? std::string() : note.substr(second + 1);
    struct stat st {};
    if (note[0] == 'T') {
        // Only the very file that was made (it may have been given the owner of the file it was to
        // replace, so the owner tells nothing).
        const auto slash = a.rfind('/');
        if (!startsWith(a.substr(slash == std::string::npos ? 0 : slash + 1), SaveTempPrefix))
            return;
        if (::lstat(a.c_str(), &st) == 0 && S_ISREG(st.st_mode) && identity(st) == b)
            ::unlink(a.c_str());
    } else if (note[0] == 'S' && !b.empty()) {
        const std::string path = a + ":" + b;
        if (::getxattr(a.c_str(), "ntfs.streams.list", nullptr, 0) >= 0 && ::lstat(path.c_str(), &st) == 0 &&
            S_ISREG(st.st_mode))
            ::unlink(path.c_str());
    }
}

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
    return make('T', path, identity(st));
}

UnfinishedNote UnfinishedNote::forNewStream(const std::string& file, const std::string& stream)
{
    return make('S', file, stream);
}

UnfinishedNote UnfinishedNote::make(char kind, const std::string& first, const std::string& second)
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
    std::string content(1, kind);
    content.append(1, '\0').append(first).append(1, '\0').append(second);
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

void UnfinishedNote::done()
{
    if (!notePath_.empty())
        ::unlink(notePath_.c_str());
    notePath_.clear();
    lock_.reset();
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
    std::unique_ptr<DIR, CloseDir> dir(::fdopendir(::dup(dirFd.get())));
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
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

}  // namespace tessaly
