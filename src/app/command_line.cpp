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
std::string localPath(std::string_view uri)
{
    if (!startsWithNoCase(uri, "file:"))
        return {};
    uri.remove_prefix(5);
    if (uri.substr(0, 2) == "//") {
        uri.remove_prefix(2);
        const std::size_t slash = uri.find('/');
        if (slash == std::string_view::npos)
            return {};
        const std::string_view host = uri.substr(0, slash);
        if (!host.empty() && !(host.size() == 9 && startsWithNoCase(host, "localhost")))
            return {};
        uri.remove_prefix(slash);
    }
    if (uri.empty() || uri.front() != '/')
        return {};
    // A query or fragment is no part of a file's name (a "#" or "?" in a name arrives encoded).
    uri = uri.substr(0, uri.find_first_of("?#"));
    std::string path;
    path.reserve(uri.size());
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
            path.push_back(uri[i]);
        }
    }
    return path;
}

}  // namespace

std::vector<std::string> CommandLinePaths(const std::vector<std::string>& arguments, std::string_view currentFolder)
{
    std::vector<std::string> paths;
    for (const std::string& argument : arguments) {
        if (argument.empty())
            continue;
        if (argument.front() == '/' || currentFolder.empty()) {
            paths.push_back(argument);
            continue;
        }
        std::string_view relative = argument;
        while (relative.substr(0, 2) == "./")
            relative.remove_prefix(2);
        std::string path(currentFolder);
        if (path.back() != '/')
            path.push_back('/');
        path.append(relative == "." ? std::string_view() : relative);
        if (path.size() > 1 && path.back() == '/' && argument.back() != '/')
            path.pop_back();
        paths.push_back(std::move(path));
    }
    return paths;
}

std::vector<std::string> LocalPathsFromUriList(std::string_view list)
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
        if (std::string path = localPath(line); !path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace tessaly
