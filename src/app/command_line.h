#pragma once
// Paths as they come in from outside the window: the command line and dropped URI lists. Both stay
// bytes from end to end, so a name that is not valid UTF-8 reaches the file it names.

#include <string>
#include <string_view>
#include <vector>

#include "streams/path_rules.h"

namespace tessaly {

// The paths named by the arguments (without the program name), in order. An empty argument names
// nothing and is passed over; a relative path is made absolute against currentFolder (left as it
// is when the current folder is unknown). No other change is made to the bytes.
std::vector<std::string> CommandLinePaths(const std::vector<std::string>& arguments, std::string_view currentFolder,
                                          PathStyle style = NativePathStyle);

// The local files of a "text/uri-list" text: one URI per line (CR LF or LF), "#" lines are
// comments. Only file: URIs without a host or with "localhost" count; each path is
// percent-decoded to the bytes it stands for. Other URIs are left out, and so is one that would
// decode to a NUL byte (the system would take the path before it for the whole). On Windows a
// URI names a drive ("file:///C:/dir") or a share ("file://server/share/dir"), written with "".
std::vector<std::string> LocalPathsFromUriList(std::string_view list, PathStyle style = NativePathStyle);

}  // namespace tessaly
