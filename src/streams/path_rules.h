#pragma once
// How a path is taken apart on each system. Linux knows one separator, "/". Windows takes "\" and
// "/" alike, starts absolute paths with a drive ("C:\") or two separators (UNC shares and "\\?\"
// long paths), and a ":" after the drive separates a file from its stream. Both rule sets are plain
// functions of the text so that either can be checked on any system; the program uses the one of
// the system it was built for.

#include <string>
#include <string_view>

namespace tessaly {

enum class PathStyle { Posix, Windows };

#ifdef _WIN32
inline constexpr PathStyle NativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle NativePathStyle = PathStyle::Posix;
#endif

// The character new path components are joined with.
constexpr char PreferredSeparator(PathStyle style)
{
    return style == PathStyle::Windows ? '\\' : '/';
}
bool IsSeparator(char c, PathStyle style);
// The length of the root that starts path: "/" on Linux; "C:\", "C:", "\\server\share\",
// "\\?\C:\" or a single "\" on Windows; 0 when the path is relative.
std::size_t RootLength(std::string_view path, PathStyle style);
// An absolute path names the same object from any current folder ("C:" alone and "\dir" do not).
bool IsAbsolutePath(std::string_view path, PathStyle style);
// The position of the last separator, or of the last ":" past the root; npos when there is none.
std::size_t LastNameDelimiter(std::string_view path, PathStyle style);
// relative made absolute against folder: "." and leading "./" parts dropped, a path rooted
// without a drive ("\dir") put on the folder's drive or share. An absolute one comes back unchanged.
std::string AbsolutePath(std::string_view folder, std::string_view relative, PathStyle style);

}  // namespace tessaly
