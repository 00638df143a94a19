#pragma once
// Named streams of a file on Windows, read from the file's backup data.

#include <string>
#include <vector>

#include "platform/system.h"

namespace tessaly {

// The named data streams of the file or folder at path (a path in the system's ANSI code page), in
// the order the backup data holds them, names in the same code page. A file that cannot be opened
// (missing, denied, or open elsewhere: it is opened without sharing) gives an empty list.
std::vector<StreamInfo> ListBackupStreams(const std::string& path);

}  // namespace tessaly
