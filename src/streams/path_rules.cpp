#include "streams/path_rules.h"

namespace tessaly {

namespace {

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool hasDrive(std::string_view path)
{
    return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':';
}

// The end of the next component of path from pos (the position of the next separator or the end).
std::size_t componentEnd(std::string_view path, std::size_t pos)
{
    while (pos < path.size() && !IsSeparator(path[pos], PathStyle::Windows))
        ++pos;
    return pos;
}

}  // namespace

bool IsSeparator(char c, PathStyle style)
{
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

std::size_t RootLength(std::string_view path, PathStyle style)
{
    if (style == PathStyle::Posix)
        return !path.empty() && path.front() == '/' ? 1 : 0;
    const auto sep = [&](std::size_t i) { return i < path.size() && IsSeparator(path[i], style); };
    if (sep(0) && sep(1)) {
        // "\\?\C:\" and "\\.\C:\" put a drive behind the prefix; "\\?\UNC\server\share\" a share.
        if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && sep(3)) {
            const std::string_view rest = path.substr(4);
            if (hasDrive(rest))
                return 4 + (rest.size() > 2 && IsSeparator(rest[2], style) ? 3 : 2);
            if (rest.size() >= 3 && (rest.substr(0, 3) == "UNC" || rest.substr(0, 3) == "unc") && sep(7)) {
                std::size_t end = componentEnd(path, componentEnd(path, 8) + 1);
                return end < path.size() ? end + 1 : end;
            }
            return 4;
        }
        // "\\server\share\": the share is part of the root.
        std::size_t end = componentEnd(path, 2);
        if (end < path.size())
            end = componentEnd(path, end + 1);
        return end < path.size() ? end + 1 : end;
    }
    if (hasDrive(path))
        return sep(2) ? 3 : 2;
    return sep(0) ? 1 : 0;
}

bool IsAbsolutePath(std::string_view path, PathStyle style)
{
    if (style == PathStyle::Posix)
        return RootLength(path, style) == 1;
    // "C:" alone and "\dir" still depend on the current drive or its current folder.
    const auto sep = [&](std::size_t i) { return i < path.size() && IsSeparator(path[i], style); };
    return (sep(0) && sep(1)) || (hasDrive(path) && sep(2));
}

std::size_t LastNameDelimiter(std::string_view path, PathStyle style)
{
    // The colon of a drive ends a delimiter too: "C:name" is "name" on drive C.
    return path.find_last_of(style == PathStyle::Windows ? "\\/:" : "/:");
}

std::string AbsolutePath(std::string_view folder, std::string_view relative, PathStyle style)
{
    if (IsAbsolutePath(relative, style) || folder.empty())
        return std::string(relative);
    if (style == PathStyle::Windows && RootLength(relative, style) > 0) {
        // "\dir" is rooted on the current drive or share; "C:dir" is relative to the current folder
        // of drive C, which only the system knows: left as it is.
        if (hasDrive(relative))
            return std::string(relative);
        std::string path(folder.substr(0, RootLength(folder, style)));
        while (!path.empty() && IsSeparator(path.back(), style))
            path.pop_back();
        return path.append(relative);
    }
    std::string_view rest = relative;
    while (rest.size() >= 2 && rest[0] == '.' && IsSeparator(rest[1], style))
        rest.remove_prefix(2);
    std::string path(folder);
    if (!IsSeparator(path.back(), style))
        path.push_back(PreferredSeparator(style));
    if (rest != ".")
        path.append(rest);
    // "." names the folder itself, without the separator it was joined with; "./" keeps it.
    if (path.size() > RootLength(path, style) && IsSeparator(path.back(), style) &&
        !IsSeparator(relative.back(), style))
        path.pop_back();
    return path;
}

}  // namespace tessaly
