#include "app/command_line.h"

#include "streams/names.h"

namespace tessaly {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// The path of one file: URI, or empty when it is not one of a local file.
std::string localPath(std::string_view uri, PathStyle style)
{
    if (!startsWithNoCase(uri, "file:"))
        return {};
    uri.remove_prefix(5);
    std::string path;
    if (uri.substr(0, 2) == "//") {
        uri.remove_prefix(2);
        const std::size_t slash = uri.find('/');
        if (slash == std::string_view::npos)
            return {};
        const std::string_view host = uri.substr(0, slash);
        if (!host.empty() && !(host.size() == 9 && startsWithNoCase(host, "localhost"))) {
            // Another host is a share only Windows reaches by name: "\\server\share".
            if (style != PathStyle::Windows)
                return {};
            path.append("//").append(host);
        }
        uri.remove_prefix(slash);
    }
    if (uri.empty() || uri.front() != '/')
        return {};
    // A query or fragment is no part of a file's name (a "#" or "?" in a name arrives encoded).
    uri = uri.substr(0, uri.find_first_of("?#"));
    if (style == PathStyle::Windows && path.empty()) {
        // "/C:/dir": the drive starts the path. Without a drive or share it names no file.
        uri.remove_prefix(1);
        if (RootLength(uri, style) != 3 && !(uri.size() == 2 && RootLength(uri, style) == 2))
            return {};
    }
    path.reserve(path.size() + uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        const int hi = uri[i] == '%' && i + 2 < uri.size() ? HexDigitValue(uri[i + 1]) : -1;
        const int lo = hi >= 0 ? HexDigitValue(uri[i + 2]) : -1;
        if (lo >= 0) {
            // A NUL byte cannot be in a name: the system would see only the path before it.
            if (hi == 0 && lo == 0)
                return {};
            path.push_back(char(hi << 4 | lo));
            i += 2;
        } else {
            path.push_back(style == PathStyle::Windows && uri[i] == '/' ? '\\' : uri[i]);
        }
    }
    if (style == PathStyle::Windows)
        for (std::size_t i = 0; i < 2 && i < path.size() && path[i] == '/'; ++i)
            path[i] = '\\';
    return path;
}

}  // namespace

std::vector<std::string> CommandLinePaths(const std::vector<std::string>& arguments, std::string_view currentFolder,
                                          PathStyle style)
{
    std::vector<std::string> paths;
    for (const std::string& argument : arguments)
        if (!argument.empty())
            paths.push_back(AbsolutePath(currentFolder, argument, style));
    return paths;
}

std::vector<std::string> LocalPathsFromUriList(std::string_view list, PathStyle style)
{
    std::vector<std::string> paths;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (std::string path = localPath(line, style); !path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace tessaly
