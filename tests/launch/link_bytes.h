#pragma once
// Shell link files (.lnk) as Windows writes them, made byte by byte for tests.

#include <cstdint>
#include <string>

namespace tessaly::test {

inline void Put32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(char((v >> (8 * i)) & 0xff));
}

// A minimal link: the header, a link info holding a volume and the local base path target, and
// when arguments are given (ASCII), the command-line arguments as Unicode string data.
inline std::string MakeLink(const std::string& target, const std::string& arguments = {})
{
    std::string s;
    Put32(s, 0x4C);
    s += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    Put32(s, arguments.empty() ? 0x02 : 0x02 | 0x20 | 0x80);  // HasLinkInfo, HasArguments, IsUnicode
    Put32(s, 0x20);  // archive
    s += std::string(24, '\0');  // times
    Put32(s, 0);  // file size
    Put32(s, 0);  // icon index
    Put32(s, 1);  // show normal
    s += std::string(2 + 2 + 4 + 4, '\0');  // hot key, reserved
    const std::uint32_t volumeSize = 0x11;
    const std::uint32_t baseAt = 0x1C + volumeSize;
    const std::uint32_t suffixAt = baseAt + std::uint32_t(target.size()) + 1;
    const std::uint32_t infoSize = suffixAt + 1;
    Put32(s, infoSize);
    Put32(s, 0x1C);
    Put32(s, 1);  // volume id and local base path
    Put32(s, 0x1C);
    Put32(s, baseAt);
    Put32(s, 0);
    Put32(s, suffixAt);
    Put32(s, volumeSize);
    Put32(s, 3);  // fixed drive
    Put32(s, 0x12345678);
    Put32(s, 0x10);
    s.push_back('\0');  // empty label
    s += target;
    s.push_back('\0');
    s.push_back('\0');  // empty common path suffix
    if (!arguments.empty()) {
        s.push_back(char(arguments.size() & 0xff));
        s.push_back(char(arguments.size() >> 8));
        for (char c : arguments) {
            s.push_back(c);
            s.push_back('\0');
        }
    }
    Put32(s, 0);  // terminal block
    return s;
}

}  // namespace tessaly::test
