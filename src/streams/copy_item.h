#pragma once
// Copying one item's bytes (a file's data or one stream) to another item.

#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tessaly {

struct CopyError {
    enum class Side { Source, Target };
    Side side;
    std::string path;  // the item text that failed
    SysError error;
    // The target was left changed (a write in place that broke off); otherwise it is as it was.
    bool targetChanged = false;
};

// Copies the source's bytes to the target, piece by piece, so that memory stays bounded whatever
// the item's size. The source is opened first; a plain-file target takes its new content only once
// everything has been read and written, so a failed copy leaves it as it was. Only the item's own
// bytes go along: no attributes, times or other streams.
std::optional<CopyError> CopyItemData(FileSystem& fs, const ItemRef& source, const ItemRef& target);
// The same from a source that is already open (standard input, for one); sourceText names it in
// errors.
std::optional<CopyError> CopyItemData(FileSystem& fs, ItemReader& source, const std::string& sourceText,
                                      const ItemRef& target);

// The error box text for a failed copy: "cannot open" for the source, "cannot create" for the
// target, with shownPath (the failing path made absolute) and the system's message.
std::string CopyErrorText(const CopyError& error, std::string_view shownPath);

// path made absolute against currentFolder, with "." and ".." components and repeated slashes
// worked out by text alone, as an error box shows it. Bytes stay bytes: nothing is decoded.
std::string AbsolutePathText(std::string_view currentFolder, std::string_view path);

// The size of the pieces a copy moves at a time.
inline constexpr std::size_t CopyPieceSize = std::size_t(1) << 20;

}  // namespace tessaly
