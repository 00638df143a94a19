#include "streams/names.h"

namespace tessaly {

std::string_view FinalNameOf(std::string_view path, PathStyle style)
{
    const auto d = LastNameDelimiter(path, style);
    return d == std::string_view::npos ? path : path.substr(d + 1);
}

std::string FinalNameComponent(std::string_view path, PathStyle style)
{
    return std::string(FinalNameOf(path, style));
}

std::string ExtensionOf(std::string_view path, PathStyle style)
{
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const auto d = LastNameDelimiter(path, style);
    if (d != std::string_view::npos && dot < d)
        return {};
    return std::string(path.substr(dot));
}

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

std::string_view TrimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20)
        text.remove_suffix(1);
    return text;
}

}  // namespace tessaly
