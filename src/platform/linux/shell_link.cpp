#include "platform/linux/shell_link.h"

// Debian's liblnk headers announce the optional libbfio interface without shipping its header;
// only plain file names are used here, so that part is left out.
#include <liblnk/features.h>
#undef LIBLNK_HAVE_BFIO
#include <liblnk.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace tessaly {

namespace {

struct LnkErrorOwner {
    liblnk_error_t* error = nullptr;
    ~LnkErrorOwner()
    {
        if (error)
            liblnk_error_free(&error);
    }
};

struct LnkFileDeleter {
    void operator()(liblnk_file_t* file) const
    {
        liblnk_file_free(&file, nullptr);
    }
};

// An open link; closing comes before freeing.
struct OpenLink {
    std::unique_ptr<liblnk_file_t, LnkFileDeleter> file;
    bool open = false;
    ~OpenLink()
    {
        if (open)
            liblnk_file_close(file.get(), nullptr);
    }
};

using SizeQuery = int (*)(liblnk_file_t*, size_t*, liblnk_error_t**);
using TextQuery = int (*)(liblnk_file_t*, uint8_t*, size_t, liblnk_error_t**);

std::string readText(liblnk_file_t* file, SizeQuery sizeOf, TextQuery textOf)
{
    LnkErrorOwner e;
    size_t size = 0;
    if (sizeOf(file, &size, &e.error) != 1 || size == 0)
        return {};
    std::string text(size, '\0');
    if (textOf(file, reinterpret_cast<uint8_t*>(text.data()), size, &e.error) != 1)
        return {};
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

// Opens the link at path; false when it is no readable link.
bool openLink(OpenLink& link, const std::string& path)
{
    {
        LnkErrorOwner e;
        liblnk_file_t* raw = nullptr;
        if (liblnk_file_initialize(&raw, &e.error) != 1)
            return false;
        link.file.reset(raw);
    }
    LnkErrorOwner e;
    if (liblnk_file_open(link.file.get(), path.c_str(), LIBLNK_OPEN_READ, &e.error) != 1)
        return false;
    link.open = true;
    return true;
}

}  // namespace

std::string ReadShellLinkTarget(const std::string& path)
{
    OpenLink link;
    if (!openLink(link, path))
        return {};
    std::string target = readText(link.file.get(), liblnk_file_get_utf8_local_path_size,
                                  liblnk_file_get_utf8_local_path);
    if (target.empty())
        target = readText(link.file.get(), liblnk_file_get_utf8_network_path_size,
                          liblnk_file_get_utf8_network_path);
    return target;
}

std::string ReadShellLinkArguments(const std::string& path)
{
    OpenLink link;
    if (!openLink(link, path))
        return {};
    return readText(link.file.get(), liblnk_file_get_utf8_command_line_arguments_size,
                    liblnk_file_get_utf8_command_line_arguments);
}

std::string LinuxShellPaths::resolveShellLink(const std::string& path)
{
    return ReadShellLinkTarget(path);
}

std::string LinuxShellPaths::shellLinkArguments(const std::string& path)
{
    return ReadShellLinkArguments(path);
}

std::string LinuxShellPaths::absolutePath(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    std::string folder(256, '\0');
    while (!::getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE)
            return path;
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    if (folder.back() != '/')
        folder.push_back('/');
    return folder + path;
}

}  // namespace tessaly
