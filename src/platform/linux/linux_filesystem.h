#pragma once
// Named streams on Linux: the "user." extended attributes of a file, and on an ntfs-3g volume
// mounted with streams_interface=windows the volume's real streams, reached as "file:stream" paths.

#include <set>
#include <string>

#include "platform/linux/fd.h"
#include "platform/system.h"

namespace tessaly {

// errno as the core's error value, with the system's message text.
SysError ErrnoError(int code);
// The error for something that is not a regular file (a folder, FIFO, device or socket), which is
// neither read nor replaced.
SysError NotRegularError(unsigned mode);
// Opens a regular file for reading; a FIFO, device or socket is refused before a byte is read.
Expected<UniqueFd> openRegularForReading(const std::string& path);
// The error for an attribute value that the file system cannot hold (E2BIG, ENOSPC): it says that
// the value is too large for an attribute there, not only that space ran out.
SysError AttributeTooLargeError(int code, const std::string& file, std::size_t valueSize);
// Refuses a stream name whose attribute a Samba server keeps for itself (its DOS attributes, access
// list inheritance, stream marker, and its stored streams written raw): writing one would overwrite
// the server's own record of the file.
std::optional<SysError> RefuseServerName(const std::string& stream);
// The largest attribute value the kernel passes (XATTR_SIZE_MAX).
inline constexpr std::size_t MaxAttributeSize = 65536;

class LinuxFileSystem final : public FileSystem {
public:
    std::vector<StreamInfo> listStreams(const std::string& path) override;
    std::vector<StreamInfo> listStreamsIn(FolderListing& folder, const std::string& name,
                                          const std::string& path) override;
    Expected<std::vector<StreamInfo>> readStreamsIn(FolderListing& folder, const std::string& name,
                                                    const std::string& path) override;
    std::uint64_t fileSizeOf(const std::string& path) override;
    bool pathExists(const std::string& path) override;
    std::optional<SysError> pathError(const std::string& path) override;
    bool streamExists(const std::string& file, const std::string& stream) override;
    Expected<std::string> readItem(const ItemRef& item) override;
    std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) override;
    Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& item) override;
    Expected<std::unique_ptr<ItemWriter>> openWrite(const ItemRef& item) override;
    Expected<std::unique_ptr<PendingFile>> createPending(const std::string& target) override;
    std::string resolveLink(const std::string& path) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    Expected<std::unique_ptr<ItemReader>> openCopy(const ItemRef& item) override;

    // The hidden file that a whole-workspace save is assembling: its data is written straight in.
    void addPending(const std::string& path) { pendingTemps_.insert(path); }
    void removePending(const std::string& path) { pendingTemps_.erase(path); }

    // True when the file answers the ntfs-3g stream list: its streams are "file:stream" paths.
    bool hasWindowsStreamInterface(const std::string& file);

private:
    Expected<std::unique_ptr<ItemWriter>> openPlainWrite(const std::string& file);
    Expected<std::unique_ptr<ItemWriter>> openStreamPathWrite(const ItemRef& item);

    // The hidden files that whole-workspace saves are assembling right now.
    std::set<std::string> pendingTemps_;

    // listStreams is called for every file of a folder in a row; the file-system type of the
    // last folder is remembered (per thread) so that ordinary volumes cost one listxattr per file.
    static bool onFuseVolume(const std::string& path);
    // The streams of a file that answers the ntfs-3g stream list; none elsewhere.
    static std::vector<StreamInfo> windowsInterfaceStreams(const std::string& path);
};

}  // namespace tessaly
