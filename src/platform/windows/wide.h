#pragma once
// The edge between the program's UTF-8 names and the system's UTF-16 ones. Every call to the
// system goes through the wide functions with a path from SystemPath, so that any name is reached
// whatever the code page, and paths longer than 260 characters too.

#include <string>
#include <string_view>

namespace tessaly {

std::wstring Utf16(std::string_view utf8);
// Unpaired surrogates, which NTFS allows in names, come out as U+FFFD.
std::string Utf8(std::wstring_view utf16);
// path made absolute and given the "\\?\" prefix ("\\?\UNC\" for a share), which lifts the
// 260-character limit and passes the name to the file system as it is.
std::wstring SystemPath(std::string_view path);

}  // namespace tessaly
