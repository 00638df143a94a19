#pragma once
// What the tests that start Windows programs under Wine share.

#include <string>

namespace tessaly::test {

inline constexpr const char* Wine = "/usr/lib/wine/wine64";

// "Z:\..." for a Linux path: Wine's drive for the root of the Linux file system.
inline std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

}  // namespace tessaly::test
