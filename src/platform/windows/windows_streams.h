#pragma once
// Named streams of a file on Windows, read from the file's backup data.

#include <string>
#include <vector>

#include "platform/system.h"

namespace tessaly {

// The named data streams of the file or folder at path, in the order the backup data holds them,
// names in UTF-8. A file that cannot be opened (missing, denied) gives an empty list; one that
// another program has open is read all the same.
std::vector<StreamInfo> ListBackupStreams(const std::string& path);

}  // namespace tessaly
