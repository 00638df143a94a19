#pragma once
// The per-user folders that the platform layer keeps its own files in.

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace tessaly {

// An environment variable's value when it is an absolute path; "" otherwise (a relative value
// would depend on the current folder).
inline std::string AbsoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

// $XDG_CACHE_HOME, or ~/.cache; "" when neither is known.
inline std::string UserCacheFolder()
{
    if (std::string cache = AbsoluteEnv("XDG_CACHE_HOME"); !cache.empty())
        return cache;
    const std::string home = AbsoluteEnv("HOME");
    return home.empty() ? std::string() : home + "/.cache";
}

// mkdir -p for the folders above path, mode 0700 where they are new (the modes of existing ones are
// the user's business).
inline void MakeParentFolders(const std::string& path)
{
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        ::mkdir(path.substr(0, at).c_str(), 0700);
}

}  // namespace tessaly
