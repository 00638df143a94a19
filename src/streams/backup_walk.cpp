#include "streams/backup_walk.h"

#include <array>

namespace tessaly {

namespace {

constexpr std::size_t HeaderBytes = 20;

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Reads exactly size bytes; a source may deliver a read in parts.
bool readExactly(BackupSource& source, unsigned char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const auto got = source.read(buffer + done, size - done);
        if (!got || *got == 0 || *got > size - done)
            return false;
        done += *got;
    }
    return true;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string BareStreamName(std::string_view stored)
{
    if (stored.empty())
        return {};
    stored.remove_prefix(1);
    return std::string(stored.substr(0, stored.find(':')));
}

std::vector<StreamInfo> WalkBackupStreams(BackupSource& source, const StreamNameConverter& convert)
{
    std::vector<StreamInfo> streams;
    std::vector<unsigned char> nameArea;
    for (;;) {
        std::array<unsigned char, HeaderBytes> header{};
        if (!readExactly(source, header.data(), header.size()))
            break;
        const std::uint64_t size = std::uint64_t(le32(&header[8])) | std::uint64_t(le32(&header[12])) << 32;
        const std::uint32_t nameBytes = le32(&header[16]);

        if (nameBytes > 0) {
            if (nameBytes > MaxBackupNameBytes)
                break;
            // Sized from the header, with room for a terminator, so that no name overruns it.
            nameArea.assign(std::size_t(nameBytes) + 2, 0);
            const auto got = source.read(nameArea.data(), nameBytes);
            if (!got || *got != nameBytes)
                break;
            std::u16string units;
            for (std::size_t i = 0; i + 1 < nameArea.size(); i += 2) {
                const char16_t unit = char16_t(nameArea[i] | nameArea[i + 1] << 8);
                if (unit == 0)
                    break;  // the name is taken as a terminated text
                units += unit;
            }
            std::string name = BareStreamName(convert(units));
            // A stored name without a bare part (":" or "::$DATA") names no stream of its own; an
            // entry for it would stand for the file itself.
            if (!name.empty())
                streams.push_back({std::move(name), size});
        }
        if (size > 0)
            source.skipStreamData();
    }
    return streams;
}

}  // namespace tessaly
