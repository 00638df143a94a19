#pragma once
// The private work place on Linux: a folder of mode 0700 owned by the user, under
// $XDG_RUNTIME_DIR or else the user's cache folder, never a shared /tmp path that someone else
// could prepare. Entries are created fresh (O_EXCL, O_NOFOLLOW) so that nothing is written
// through a symbolic link found there.

#include <map>
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
    Expected<std::string> exportReadOnly(const std::string& name, std::string_view data) override;
    Expected<std::string> folderFor(const std::string& owner) override;
    Expected<std::string> placeFor(const std::string& owner, const std::string& name) override;
    void remember(const std::string& path) override;
    Expected<std::string> exportFor(const std::string& owner, const std::string& name, std::string_view data) override;

    // The folder inside the work place for copies of the items of owner: its final name and a
    // digest of its whole path, so that two files of the same name get folders of their own.
    static std::string OwnerFolderName(const std::string& owner);

private:
    // What a copy looked like when it was written: any change (content, mode, a new file in its
    // place) shows in one of these.
    struct Fingerprint {
        unsigned long long dev = 0, ino = 0, size = 0;
        long long mtimeNs = 0, ctimeNs = 0;
        bool operator==(const Fingerprint&) const = default;
    };
    // Opens the folder of one owner inside the work place (made if missing; a link or file where it
    // belongs is removed).
    Expected<UniqueFd> openOwnerFolder(const std::string& sub);
    // Opens the folder that holds name ("entry" or "owner-folder/entry") and gives the entry's name.
    Expected<UniqueFd> openHolderOf(const std::string& name, std::string& leaf);
    Expected<std::string> writeReadOnly(const std::string& path, std::string_view data);

    std::map<std::string, Fingerprint> written_;  // full path -> what was written there
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
