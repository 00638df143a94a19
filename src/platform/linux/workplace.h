#pragma once
// The private work place on Linux: a folder of mode 0700 owned by the user, under
// $XDG_RUNTIME_DIR or else the user's cache folder, never a shared /tmp path that someone else
// could prepare. Entries are created fresh (O_EXCL, O_NOFOLLOW) so that nothing is written
// through a symbolic link found there.

#include <string>

#include "launch/launch_system.h"
#include "platform/linux/fd.h"

namespace tessaly {

class LinuxWorkPlace final : public WorkPlace {
public:
    // folder: where the work place is; empty for the usual place (DefaultWorkPlaceFolder()).
    explicit LinuxWorkPlace(std::string folder = {});

    Expected<std::string> folder() override;
    std::optional<SysError> clearEntry(const std::string& name) override;
    std::optional<SysError> makeExecutable(const std::string& name) override;
    Expected<std::string> exportReadOnly(const std::string& name, std::string_view data) override;

private:
    // Makes the folder (or mends its mode) and opens it; a symbolic link or file sitting where the
    // folder belongs is removed, a folder of another user is refused.
    Expected<UniqueFd> openFolder();
    // The same, for work on the entry name inside it; a name with a "/" or "." / ".." is refused.
    Expected<UniqueFd> openFolderFor(const std::string& name);

    std::string folder_;  // without a trailing "/"
};

// $XDG_RUNTIME_DIR/Tessaly, or $XDG_CACHE_HOME/Tessaly (~/.cache/Tessaly) without a runtime folder.
std::string DefaultWorkPlaceFolder();

}  // namespace tessaly
