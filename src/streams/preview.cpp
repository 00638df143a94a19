#include "streams/preview.h"

#include <algorithm>

namespace tessaly {

Expected<PreviewSample> ReadPreview(FileSystem& fs, const ItemRef& item, std::uint64_t knownSize, std::size_t limit)
{
    auto opened = fs.openRead(item);
    if (!opened.ok())
        return opened.error();
    ItemReader& reader = *opened.value();
    PreviewSample sample;
    sample.bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        auto n = reader.read(sample.bytes.data() + got, limit - got);
        if (!n.ok())
            return n.error();
        if (n.value() == 0)
            break;
        got += n.value();
    }
    sample.bytes.resize(got);
    // Nothing beyond the limit is read, not even to see whether there is more: the listing's size
    // tells.
    sample.truncated = got == limit && knownSize > got;
    sample.size = sample.truncated ? knownSize : got;
    return sample;
}

namespace {

using Kind = ContentGuess::Kind;

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

std::string imageFormatOf(std::string_view b)
{
    if (startsWith(b, "\x89PNG\r\n\x1a\n"))
        return "png";
    if (startsWith(b, "\xff\xd8\xff"))
        return "jpeg";
    if (startsWith(b, "GIF87a") || startsWith(b, "GIF89a"))
        return "gif";
    if (b.size() >= 26 && startsWith(b, "BM") && b.substr(6, 4) == std::string_view("\0\0\0\0", 4)) {
        // A text may begin with "BM" too: the reserved bytes and a known header size tell.
        const auto header = static_cast<unsigned char>(b[14]) | static_cast<unsigned char>(b[15]) << 8 |
                            static_cast<unsigned>(static_cast<unsigned char>(b[16])) << 16 |
                            static_cast<unsigned>(static_cast<unsigned char>(b[17])) << 24;
        for (unsigned known : {12u, 40u, 52u, 56u, 64u, 108u, 124u})
            if (header == known)
                return "bmp";
    }
    if (b.size() >= 22 && startsWith(b, std::string_view("\0\0\1\0", 4)) && b[4] != 0)
        return "ico";
    if (b.size() >= 12 && startsWith(b, "RIFF") && b.substr(8, 4) == "WEBP")
        return "webp";
    return {};
}

// Control bytes that do not belong in a text: all below 0x20 but tab, line feed, form feed and
// carriage return, and DEL.
bool isStrayControl(unsigned c)
{
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r') || c == 0x7f;
}

// The length of the valid UTF-8 prefix that ends on a character boundary; valid is false when an
// invalid sequence (not merely one cut by the end) or a stray control occurs.
std::size_t utf8Length(std::string_view b, bool truncated, bool& valid)
{
    valid = true;
    std::size_t i = 0;
    while (i < b.size()) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) {
            if (isStrayControl(c)) {
                valid = false;
                return i;
            }
            ++i;
            continue;
        }
        std::size_t n;
        unsigned lo = 0x80, hi = 0xbf;  // allowed range of the second byte
        if (c >= 0xc2 && c <= 0xdf)
            n = 2;
        else if (c >= 0xe0 && c <= 0xef) {
            n = 3;
            if (c == 0xe0)
                lo = 0xa0;  // overlong
            if (c == 0xed)
                hi = 0x9f;  // surrogates
        } else if (c >= 0xf0 && c <= 0xf4) {
            n = 4;
            if (c == 0xf0)
                lo = 0x90;
            if (c == 0xf4)
                hi = 0x8f;
        } else {
            valid = false;
            return i;
        }
        for (std::size_t k = 1; k < n; ++k) {
            if (i + k >= b.size()) {
                // A character cut by the end of a sample is left out, not counted against the text.
                valid = truncated;
                return i;
            }
            const auto t = static_cast<unsigned char>(b[i + k]);
            if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xbf)) {
                valid = false;
                return i;
            }
        }
        i += n;
    }
    return i;
}

struct MultiByteScan {
    bool valid = false;
    std::size_t length = 0;
    int score = 0;  // double-byte characters minus half-width katakana
};

MultiByteScan scanShiftJis(std::string_view b, bool truncated)
{
    MultiByteScan r;
    std::size_t i = 0;
    while (i < b.size()) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) {
            if (isStrayControl(c))
                return r;
            ++i;
        } else if (c >= 0xa1 && c <= 0xdf) {
            --r.score;
            ++i;
        } else if ((c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc)) {
            if (i + 1 >= b.size()) {
                if (!truncated)
                    return r;
                break;
            }
            const auto t = static_cast<unsigned char>(b[i + 1]);
            if (t < 0x40 || t == 0x7f || t > 0xfc)
                return r;
            ++r.score;
            i += 2;
        } else {
            return r;
        }
    }
    r.valid = true;
    r.length = i;
    return r;
}

MultiByteScan scanEucJp(std::string_view b, bool truncated)
{
    MultiByteScan r;
    std::size_t i = 0;
    auto inRange = [&](std::size_t k, unsigned lo, unsigned hi) {
        const auto t = static_cast<unsigned char>(b[k]);
        return t >= lo && t <= hi;
    };
    while (i < b.size()) {
        const auto c = static_cast<unsigned char>(b[i]);
        std::size_t n;
        if (c < 0x80) {
            if (isStrayControl(c))
                return r;
            ++i;
            continue;
        }
        if (c == 0x8e)
            n = 2;  // half-width katakana
        else if (c == 0x8f)
            n = 3;  // JIS X 0212
        else if (c >= 0xa1 && c <= 0xfe)
            n = 2;
        else
            return r;
        if (i + n > b.size()) {
            if (!truncated)
                return r;
            break;
        }
        for (std::size_t k = 1; k < n; ++k)
            if (!(c == 0x8e ? inRange(i + k, 0xa1, 0xdf) : inRange(i + k, 0xa1, 0xfe)))
                return r;
        r.score += c == 0x8e ? -1 : 1;
        i += n;
    }
    r.valid = true;
    r.length = i;
    return r;
}

bool utf16IsText(std::string_view b, bool bigEndian)
{
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        const auto hi = static_cast<unsigned char>(b[i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(b[i + (bigEndian ? 1 : 0)]);
        if (hi == 0 && isStrayControl(lo))
            return false;
    }
    return true;
}

}  // namespace

ContentGuess GuessContent(std::string_view bytes, bool truncated)
{
    ContentGuess g;
    if (bytes.empty())
        return g;
    if (std::string format = imageFormatOf(bytes); !format.empty()) {
        g.kind = Kind::Image;
        g.imageFormat = std::move(format);
        return g;
    }
    if (startsWith(bytes, "\xff\xfe") || startsWith(bytes, "\xfe\xff")) {
        const bool be = bytes[0] == '\xfe';
        std::size_t length = (bytes.size() - 2) & ~std::size_t(1);
        if (length + 2 != bytes.size() && !truncated) {
            g.kind = Kind::Binary;
            return g;
        }
        if (utf16IsText(bytes.substr(2, length), be)) {
            g.kind = Kind::Text;
            g.encoding = be ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
            g.textStart = 2;
            g.textLength = length;
            return g;
        }
        g.kind = Kind::Binary;
        return g;
    }
    const std::size_t start = startsWith(bytes, "\xef\xbb\xbf") ? 3 : 0;
    const std::string_view body = bytes.substr(start);
    bool valid = false;
    const std::size_t length = utf8Length(body, truncated, valid);
    if (valid) {
        g.kind = Kind::Text;
        g.textStart = start;
        g.textLength = length;
        return g;
    }
    const MultiByteScan sjis = scanShiftJis(bytes, truncated);
    const MultiByteScan euc = scanEucJp(bytes, truncated);
    if (sjis.valid || euc.valid) {
        const bool useEuc = euc.valid && (!sjis.valid || euc.score > sjis.score);
        g.kind = Kind::Text;
        g.encoding = useEuc ? TextEncoding::EucJp : TextEncoding::ShiftJis;
        g.textLength = useEuc ? euc.length : sjis.length;
        return g;
    }
    g.kind = Kind::Binary;
    return g;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> unsigned {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    auto put = [&](unsigned cp) {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xc0 | cp >> 6);
            out += char(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += char(0xe0 | cp >> 12);
            out += char(0x80 | (cp >> 6 & 0x3f));
            out += char(0x80 | (cp & 0x3f));
        } else {
            out += char(0xf0 | cp >> 18);
            out += char(0x80 | (cp >> 12 & 0x3f));
            out += char(0x80 | (cp >> 6 & 0x3f));
            out += char(0x80 | (cp & 0x3f));
        }
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned u = unit(i);
        if (u >= 0xd800 && u <= 0xdbff && i + 3 < bytes.size()) {
            const unsigned v = unit(i + 2);
            if (v >= 0xdc00 && v <= 0xdfff) {
                put(0x10000 + ((u - 0xd800) << 10) + (v - 0xdc00));
                i += 2;
                continue;
            }
        }
        put(u >= 0xd800 && u <= 0xdfff ? 0xfffd : u);
    }
    return out;
}

std::string HexDump(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve((bytes.size() / 16 + 1) * 78);
    for (std::size_t line = 0; line < bytes.size(); line += 16) {
        for (int shift = 28; shift >= 0; shift -= 4)
            out += digits[(line >> shift) & 0xf];
        out += "  ";
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - line);
        for (std::size_t k = 0; k < 16; ++k) {
            if (k < n) {
                const auto c = static_cast<unsigned char>(bytes[line + k]);
                out += digits[c >> 4];
                out += digits[c & 0xf];
            } else {
                out += "  ";
            }
            out += k == 7 ? "  " : " ";
        }
        out += " |";
        for (std::size_t k = 0; k < n; ++k) {
            const auto c = static_cast<unsigned char>(bytes[line + k]);
            out += c >= 0x20 && c < 0x7f ? char(c) : '.';
        }
        out += "|\n";
    }
    return out;
}

}  // namespace tessaly
