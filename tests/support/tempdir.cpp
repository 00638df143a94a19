#include "support/tempdir.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessaly::test {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/tessaly-test-XXXXXX";
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const
{
    const std::string p = file(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

bool TempDir::supportsUserAttributes() const
{
    const std::string probe = write(".xattr-probe", "");
    const bool ok = SetStream(probe, "probe", "1");
    ::unlink(probe.c_str());
    return ok;
}

bool SetStream(const std::string& file, const std::string& name, const std::string& value)
{
    return ::setxattr(file.c_str(), ("user." + name).c_str(), value.data(), value.size(), 0) == 0;
}

std::vector<std::string> StreamNames(const std::string& file)
{
    std::string names(64 * 1024, '\0');
    const ssize_t size = ::llistxattr(file.c_str(), names.data(), names.size());
    std::vector<std::string> out;
    for (ssize_t at = 0; at < size; at += ssize_t(std::strlen(names.data() + at)) + 1)
        if (names.compare(std::size_t(at), 5, "user.") == 0)
            out.emplace_back(names.data() + at + 5);
    return out;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string StreamValue(const std::string& file, const std::string& name)
{
    std::string value(1 << 17, '\0');
    const ssize_t n = ::getxattr(file.c_str(), ("user." + name).c_str(), value.data(), value.size());
    return n < 0 ? "<none>" : value.substr(0, std::size_t(n));
}

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

}  // namespace tessaly::test
