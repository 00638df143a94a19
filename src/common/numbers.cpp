#include "common/numbers.h"

#include "common/texts.h"

namespace tessaly {

std::string FormatGrouped(std::uint64_t value, std::string_view separator)
{
    const std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 * separator.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.append(separator);
        out.push_back(digits[i]);
    }
    return out;
}

std::string SizeLine(std::uint64_t size, std::string_view separator)
{
    return std::string(texts::PreviewSize) + FormatGrouped(size, separator) + std::string(texts::PreviewBytes);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace tessaly
