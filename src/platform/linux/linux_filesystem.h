#pragma once
// Named streams on Linux: the "user." extended attributes of a file, and on an ntfs-3g volume
// mounted with streams_interface=windows the volume's real streams, reached as "file:stream" paths.

#include <string>

#include "platform/system.h"

namespace tessaly {

// errno as the core's error value, with the system's message text.
SysError ErrnoError(int code);

class LinuxFileSystem final : public FileSystem {
public:
    std::vector<StreamInfo> listStreams(const std::string& path) override;
    std::uint64_t fileSizeOf(const std::string& path) override;
    bool pathExists(const std::string& path) override;
    bool streamExists(const std::string& file, const std::string& stream) override;
    Expected<std::string> readItem(const ItemRef& item) override;
    std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) override;

    // True when the file answers the ntfs-3g stream list: its streams are "file:stream" paths.
    bool hasWindowsStreamInterface(const std::string& file);

private:
    bool onFuseVolume(const std::string& path);

    // listStreams is called for every file of a folder in a row; the file-system type of the
    // last folder is remembered so that ordinary volumes cost one listxattr per file.
    std::string lastFolder_;
    bool lastFolderIsFuse_ = false;
};

}  // namespace tessaly
