#include "common/shown_name.h"

#include <algorithm>
#include <cstdint>

namespace tessaly {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Length of the valid UTF-8 sequence at the start of s and its code point; 0 when not valid.
std::size_t DecodeUtf8(std::string_view s, std::uint32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len;
    std::uint32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

struct CodePointRange {
    std::uint32_t first, last;
};

// kHidden and kDirectionControls: sorted, disjoint ranges.
#include "common/hidden_code_points.inc"

template <std::size_t N>
bool InRanges(const CodePointRange (&ranges)[N], std::uint32_t cp)
{
    const auto* it = std::upper_bound(std::begin(ranges), std::end(ranges), cp,
                                      [](std::uint32_t v, const CodePointRange& r) { return v < r.first; });
    return it != std::begin(ranges) && cp <= std::prev(it)->last;
}

bool IsHiddenCodePoint(std::uint32_t cp)
{
    return InRanges(kHidden, cp);
}

void AppendByteEscape(std::string& out, unsigned char b)
{
    switch (b) {
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default:
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

void AppendCodePointEscape(std::string& out, std::uint32_t cp)
{
    const bool wide = cp > 0xFFFF;
    out += wide ? "\\U" : "\\u";
    for (int shift = wide ? 28 : 12; shift >= 0; shift -= 4)
        out += kHex[(cp >> shift) & 0xF];
}

}  // namespace

bool IsDirectionControl(std::uint32_t cp)
{
    return InRanges(kDirectionControls, cp);
}

std::string CodePointEscape(std::uint32_t cp)
{
    std::string out;
    AppendCodePointEscape(out, cp);
    return out;
}

namespace {

// The escapes of ShownName, and with backslash set those of ExportedName.
bool NeedsEscapingImpl(std::string_view name, bool backslash)
{
    for (std::size_t i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (b >= 0x20 && b < 0x7F) {
            if (backslash && b == '\\')
                return true;
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t len = DecodeUtf8(name.substr(i), cp);
        if (len == 0 || cp < 0x20 || cp == 0x7F || IsHiddenCodePoint(cp))
            return true;
        i += len;
    }
    return false;
}

std::string Escaped(std::string_view name, bool backslash)
{
    if (!NeedsEscapingImpl(name, backslash))
        return std::string(name);
    std::string out;
    out.reserve(name.size() + 16);
    for (std::size_t i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (b >= 0x20 && b < 0x7F) {
            if (backslash && b == '\\')
                out += '\\';
            out += char(b);
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t len = DecodeUtf8(name.substr(i), cp);
        if (len == 0 || cp < 0x20 || cp == 0x7F) {
            AppendByteEscape(out, b);
            ++i;
        } else if (IsHiddenCodePoint(cp)) {
            AppendCodePointEscape(out, cp);
            i += len;
        } else {
            out.append(name.substr(i, len));
            i += len;
        }
    }
    return out;
}

}  // namespace

bool NeedsEscaping(std::string_view name)
{
    return NeedsEscapingImpl(name, false);
}

std::string ShownName(std::string_view name)
{
    return Escaped(name, false);
}

std::string ExportedName(std::string_view name)
{
    return Escaped(name, true);
}

}  // namespace tessaly
