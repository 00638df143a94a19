#pragma once
// Shell link files read with liblnk, and path forms on a system without short names.

#include "launch/launch_system.h"

namespace tessaly {

class LinuxShellPaths final : public ShellPaths {
public:
    std::string resolveShellLink(const std::string& path) override;
    std::string shellLinkArguments(const std::string& path) override;
    // Linux has no short names: the path unchanged.
    std::string longPathOf(const std::string& path) override { return path; }
    std::string absolutePath(const std::string& path) override;
};

// The target stored in the link file at path: its local path, else its network path; empty when
// the file is not a readable link or names neither.
std::string ReadShellLinkTarget(const std::string& path);
// The command-line arguments stored in the link at path; empty when there are none.
std::string ReadShellLinkArguments(const std::string& path);

}  // namespace tessaly
