#pragma once
// Folder listings on Linux: opendir/readdir, with the entry's kind from the directory entry itself
// so that a folder of many files costs one system call per batch of names, not one per file. Safe
// to use from several threads at once.

#include "platform/system.h"

namespace tessaly {

class LinuxFolderSystem final : public FolderSystem {
public:
    Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) override;
    Expected<std::unique_ptr<FolderListing>> openFolderIn(FolderListing& parent, const std::string& name,
                                                          const std::string& path) override;
    std::optional<FileFacts> lookup(const std::string& path) override;
    std::optional<FileFacts> lookupIn(FolderListing& folder, const std::string& name, const std::string& path) override;
};

}  // namespace tessaly
