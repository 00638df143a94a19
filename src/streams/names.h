#pragma once
// The two values every command derives from an item text: its final name component and extension.
// The delimiters are the system's separators (see path_rules.h) and ":" (file and stream).

#include <string>
#include <string_view>

#include "common/numbers.h"
#include "streams/path_rules.h"

namespace tessaly {

// The text after the last separator or ":"; the whole text when there is none.
std::string FinalNameComponent(std::string_view path, PathStyle style = NativePathStyle);
// The same, as a view into path.
std::string_view FinalNameOf(std::string_view path, PathStyle style = NativePathStyle);
// The tail from the last dot, dot included, when that dot follows the last delimiter; else empty.
std::string ExtensionOf(std::string_view path, PathStyle style = NativePathStyle);
// ASCII A-Z folded to lower case, every other byte unchanged.
std::string AsciiLower(std::string_view text);
// The value of a hexadecimal digit (either case); -1 for any other byte.
// Leading and trailing bytes of value 0x20 or less removed.
std::string_view TrimControls(std::string_view text);

}  // namespace tessaly
