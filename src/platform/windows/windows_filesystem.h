#pragma once
// Files, streams and folders on Windows: streams listed from the backup data, read and written as
// "path:stream" paths; folders listed with the find functions.

#include "platform/system.h"

namespace tessaly {

// The last error as the core's error value, with the system's message text.
SysError LastError();

class WindowsFileSystem final : public FileSystem {
public:
    std::vector<StreamInfo> listStreams(const std::string& path) override;
    std::uint64_t fileSizeOf(const std::string& path) override;
    bool pathExists(const std::string& path) override;
    bool streamExists(const std::string& file, const std::string& stream) override;
    Expected<std::string> readItem(const ItemRef& item) override;
    std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) override;
    Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& item) override;
    Expected<std::unique_ptr<ItemWriter>> openWrite(const ItemRef& item) override;
};

class WindowsFolderSystem final : public FolderSystem {
public:
    Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) override;
    std::optional<FileFacts> lookup(const std::string& path) override;
};

}  // namespace tessaly
