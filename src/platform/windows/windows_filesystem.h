#pragma once
// Files, streams and folders on Windows: streams listed from the backup data, read and written as
// "path:stream" paths through NtFileSystem's rules; folders listed with the find functions.

#include "platform/system.h"
#include "platform/windows/nt_files.h"

namespace tessaly {

// The last error as the core's error value, with the system's message text.
SysError LastError();

class WindowsFileSystem final : public NtFileSystem {
public:
    WindowsFileSystem();
};

class WindowsFolderSystem final : public FolderSystem {
public:
    Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) override;
    std::optional<FileFacts> lookup(const std::string& path) override;
    // The drives, "C:\" and on.
    std::vector<std::string> roots() override;
};

}  // namespace tessaly
