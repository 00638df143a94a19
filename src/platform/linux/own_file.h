#pragma once
// Files at places of the program's own choosing (desktop entries): written whole under a hidden
// name beside their place and renamed into it, so that whatever sits there, a symbolic link
// included, is replaced and never written through.

#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tessaly {

// Puts data at path as a new file with mode (before the umask); its folder must exist.
std::optional<SysError> ReplaceWithOwnFile(const std::string& path, std::string_view data, unsigned mode);

}  // namespace tessaly
