#pragma once
// How a name or path is shown to a person: the bytes stay as the system gave them everywhere else,
// but what is read on screen, in the log or on the clipboard can never break a line, reorder text
// or pass for something it is not.

#include <string>
#include <string_view>

namespace tessaly {

// name with every byte that would not read as itself replaced by a visible escape:
// - control bytes below 0x20 and 0x7F: "\n", "\r", "\t" for the usual three, "\x1b" style for the
//   others;
// - bytes that are not part of valid UTF-8: "\xff" style, one escape per byte;
// - C1 controls (U+0080..U+009F), the line and paragraph separators (U+2028, U+2029) and the
//   bidirectional embeddings, overrides and isolates (U+202A..U+202E, U+2066..U+2069): "\u2028"
//   style, since they break lines or turn the text around in a viewer.
// Everything else, "\" included, is left as it is: the result is for reading, never a path.
std::string ShownName(std::string_view name);

// ShownName with "\" written as "\\" as well, for documents that other programs read: distinct
// names give distinct texts, and the bytes come back by reading each escape ("\\", "\n", "\r",
// "\t", "\xHH" a byte, "\uHHHH" the code point in UTF-8) as what it stands for, every other
// character as itself. The window keeps ShownName: there "\" separates the folders of a Windows path.
std::string ExportedName(std::string_view name);

// Whether ShownName would change name (so that callers can skip the copy).
bool NeedsEscaping(std::string_view name);

}  // namespace tessaly
