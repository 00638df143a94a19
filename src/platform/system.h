#pragma once
// The core's view of the operating system: small interfaces that the platform layer implements
// (platform/linux, later platform/windows) and that tests replace with fakes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tessaly {

// What an error means, whichever system reported it: a check asks this, never the number, since
// Windows' "access denied" (5) is errno's EIO and its "file not found" (2) errno's ENOENT.
enum class ErrorKind { Other, NotFound, AccessDenied };

// The meaning of an errno value, and of a Windows error code.
ErrorKind ErrorKindOfErrno(int code);
ErrorKind ErrorKindOfWindowsError(std::uint32_t code);

// An operating-system error: its code (errno on Linux, the error code on Windows), the system's
// message text for it and its meaning. Without a meaning given, the code is an errno value.
struct SysError {
    SysError() = default;
    SysError(int code, std::string message) : SysError(code, std::move(message), ErrorKindOfErrno(code)) {}
    SysError(int code, std::string message, ErrorKind kind) : code(code), message(std::move(message)), kind(kind) {}
    int code = 0;
    std::string message;
    ErrorKind kind = ErrorKind::Other;
};

// A value or the error that prevented it.
template <class T>
class Expected {
public:
    Expected(T value) : v_(std::move(value)) {}
    Expected(SysError error) : v_(std::move(error)) {}
    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T& operator*() { return value(); }
    const SysError& error() const { return std::get<1>(v_); }

private:
    std::variant<T, SysError> v_;
};

// One named stream of a file as the file system reports it: the bare name and the data size.
struct StreamInfo {
    std::string name;
    std::uint64_t size = 0;
    bool operator==(const StreamInfo&) const = default;
};

// Where an item's bytes live: a plain file, or a named stream of a file.
struct ItemRef {
    std::string file;
    std::string stream;  // empty for the file's own data
    bool isStream() const { return !stream.empty(); }
    // "file:stream", or the file alone: the item as a path on a system that names streams so.
    std::string text() const { return isStream() ? file + ":" + stream : file; }
};

// An item opened for reading in pieces; closed when destroyed.
class ItemReader {
public:
    virtual ~ItemReader() = default;
    // Fills up to size bytes of buffer; 0 at the end of the item.
    virtual Expected<std::size_t> read(char* buffer, std::size_t size) = 0;
    // The item's size when known in advance, so that a writer can make room before it begins.
    virtual std::optional<std::uint64_t> size() const { return std::nullopt; }
};

// An item being written in pieces. Nothing is final until finish() succeeds. A writer destroyed
// unfinished leaves a plain file that could be replaced as a whole as it was, and removes a stream
// that it created; a file written in place (see FileSystem::openWrite) keeps what was written.
class ItemWriter {
public:
    virtual ~ItemWriter() = default;
    // Makes room for size bytes before the first write, so that a full volume is reported before
    // anything of the target has changed. Does nothing by default.
    virtual std::optional<SysError> reserve(std::uint64_t /*size*/) { return std::nullopt; }
    virtual std::optional<SysError> write(std::string_view data) = 0;
    // Completes the item: a plain file takes the target's place only here.
    virtual std::optional<SysError> finish() = 0;
    // Lets the system move bytes from reader straight into this item where it can, advancing both.
    // The caller goes on piece by piece from wherever this stopped, so an error shows up there, on
    // the side it belongs to. Does nothing by default.
    virtual void takeDirectly(ItemReader& /*reader*/) {}
    // After a failed write or finish: whether the target was changed all the same (an item written
    // in place whose copy broke off); false when it is as it was.
    virtual bool changedTarget() const { return false; }
};

// A new file assembled under a temporary name beside its target, data and streams alike, that
// takes the target's place only when commit() succeeds. Destroyed uncommitted, it is removed and
// the target stays as it was.
class PendingFile {
public:
    virtual ~PendingFile() = default;
    // Where to write the new file's data and streams until it is committed.
    virtual const std::string& path() const = 0;
    virtual std::optional<SysError> commit() = 0;
    // True when path() is the target itself (an existing file that cannot be replaced without
    // losing what it carries): every write lands at once, and there is nothing to roll back.
    virtual bool inPlace() const { return false; }
};

// A pending file that is the target itself: the save writes straight into it, and commit() has
// nothing left to do.
std::unique_ptr<PendingFile> InPlacePending(std::string path);

// File-system services the core needs for listing, sizing, reading and writing items.
class FolderListing;

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Named streams of the object at path, in the order the system reports them. Unreadable or
    // missing objects give an empty list.
    virtual std::vector<StreamInfo> listStreams(const std::string& path) = 0;
    // Size of the object at path; 0 when it does not exist.
    virtual std::uint64_t fileSizeOf(const std::string& path) = 0;
    // Whether something exists at exactly this path (symbolic links are not followed).
    virtual bool pathExists(const std::string& path) = 0;
    // Why nothing can be reached at exactly this path: it is not there (code 2), or it cannot be
    // reached (a folder the user may not search); nothing when it is there. By default from
    // pathExists.
    virtual std::optional<SysError> pathError(const std::string& path)
    {
        return pathExists(path) ? std::nullopt : std::optional<SysError>(SysError{2, "No such file or directory"});
    }
    // Whether the file carries a stream of that name.
    virtual bool streamExists(const std::string& file, const std::string& stream) = 0;
    // The item's whole content.
    virtual Expected<std::string> readItem(const ItemRef& item) = 0;
    // Creates or replaces the item with data.
    virtual std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) = 0;
    // The file whose streams a path stands for: a symbolic link leads to the file it names. The path
    // itself when it is no link (and by default).
    virtual std::string resolveLink(const std::string& path) { return path; }
    // Whether two paths name the same file (through links, hard links included).
    virtual bool sameFile(const std::string& a, const std::string& b) { return a == b; }

    // Piecewise access for items of any size. The defaults go through readItem / writeItem whole,
    // for file systems that have nothing better; createPending's default writes in place.
    //
    // Writing a plain file that exists keeps the file: its streams, links, owner, group, mode and
    // access lists. A target that may not be written is refused before anything is written.
    virtual Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& item);
    virtual Expected<std::unique_ptr<ItemWriter>> openWrite(const ItemRef& item);
    virtual Expected<std::unique_ptr<PendingFile>> createPending(const std::string& target);
    // The item's bytes as they are now, kept aside, so that writes to the item afterwards do not
    // change what is read. By default, the whole item in memory.
    virtual Expected<std::unique_ptr<ItemReader>> openCopy(const ItemRef& item);

    // listStreams for the entry called name of an open folder, whose full path is path: a walk that
    // examines every file of a folder lets the system resolve one name relative to the open folder
    // instead of the whole path. Called from several threads at once by the folder scan, as is
    // listStreams. By default, listStreams(path).
    virtual std::vector<StreamInfo> listStreamsIn(FolderListing& folder, const std::string& name,
                                                  const std::string& path);
    // listStreamsIn that tells why a file's streams could not be read (no permission, an I/O error)
    // instead of giving an empty list. A file that has gone, a link that leads nowhere and a file
    // system without streams give an empty list. By default, listStreamsIn.
    virtual Expected<std::vector<StreamInfo>> readStreamsIn(FolderListing& folder, const std::string& name,
                                                            const std::string& path)
    {
        return listStreamsIn(folder, name, path);
    }

protected:
    // writeItem through openWrite: for a file system whose writer is its real way of writing (the
    // default writer goes through writeItem and must not be used so).
    std::optional<SysError> writeThroughWriter(const ItemRef& item, std::string_view data);
};

// One entry of a folder listing. A symbolic link that leads to a folder is told apart from a folder:
// walking into it could loop forever through a link to an ancestor.
struct FolderEntry {
    enum class Kind { File, Folder, FolderLink };
    std::string name;
    Kind kind = Kind::File;
    std::optional<std::uint64_t> size;  // when the listing knows it without a further lookup
};

// An open listing of one folder, closed when destroyed.
class FolderListing {
public:
    virtual ~FolderListing() = default;
    // Fills entry with the next entry in the system's order ("." and ".." as the system gives them,
    // hidden entries included); false when there are no more.
    virtual bool next(FolderEntry& entry) = 0;
    // The system's handle of the open folder for calls relative to it (a descriptor on Linux);
    // -1 when there is none.
    virtual std::intptr_t nativeHandle() const { return -1; }
    // After next() has returned false: the error that ended the listing before its end, if any.
    virtual std::optional<SysError> error() const { return std::nullopt; }
};

// What a fresh lookup of one path tells: its size and last-write time (seconds since 1970, UTC).
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

// Folder listings for the folder scan. The scan lists folders and looks up files from several
// threads at once: an implementation must allow that.
class FolderSystem {
public:
    virtual ~FolderSystem() = default;
    // Starts listing folder (with or without a trailing "/"); the error when it cannot be listed.
    virtual Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) = 0;
    // openFolder for the subfolder called name of an open folder, whose full path is path: resolved
    // relative to the open folder, so that a tree deeper than the system's longest path is read to
    // its end. By default, openFolder(path).
    virtual Expected<std::unique_ptr<FolderListing>> openFolderIn(FolderListing& parent, const std::string& name,
                                                                  const std::string& path)
    {
        (void)parent;
        (void)name;
        return openFolder(path);
    }
    // Size and last-write time of the object at path; nothing when it is gone or unreadable.
    virtual std::optional<FileFacts> lookup(const std::string& path) = 0;
    // Where folders begin: "/" on Linux, the drives ("C:\") on Windows.
    virtual std::vector<std::string> roots() { return {"/"}; }
    // lookup for the entry called name of an open folder, whose full path is path. By default,
    // lookup(path).
    virtual std::optional<FileFacts> lookupIn(FolderListing& folder, const std::string& name, const std::string& path);
};

// Splits an item text (a tree node, a scan row) into file and stream. When the whole text names an
// existing object it is a plain path (a Linux name may hold a colon, and a stream on a volume that
// exposes streams as "file:stream" paths is such an object too). Otherwise the text is split at the
// last ":" after the last separator and past the drive, provided the part before exists. Anything
// else is a plain path.
ItemRef ResolveItemText(FileSystem& fs, const std::string& text);

}  // namespace tessaly
