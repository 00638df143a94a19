#pragma once
// Copying one item's bytes (a file's data or one stream) to another item.

#include <optional>
#include <string>

#include "platform/system.h"

namespace tessaly {

struct CopyError {
    enum class Side { Source, Target };
    Side side;
    std::string path;  // the item text that failed
    SysError error;
};

// Reads the whole source, then creates or replaces the target with it. Only the item's own bytes
// go along: no attributes, times or other streams.
std::optional<CopyError> CopyItemData(FileSystem& fs, const ItemRef& source, const ItemRef& target);

}  // namespace tessaly
