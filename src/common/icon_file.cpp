#include "common/icon_file.h"

#include <cstddef>

namespace tessaly {

namespace {

std::uint32_t le16(std::string_view b, std::size_t at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}

std::uint32_t le32(std::string_view b, std::size_t at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

std::uint32_t be32(std::string_view b, std::size_t at)
{
    return std::uint32_t(std::uint8_t(b[at])) << 24 | std::uint32_t(std::uint8_t(b[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 8 | std::uint32_t(std::uint8_t(b[at + 3]));
}

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

bool sideFits(std::uint32_t side)
{
    return side >= 1 && side <= MaxIconSide;
}

// One picture of the file: a PNG, whose first chunk states its size, or a bitmap without file
// header, whose height counts the colour rows and the mask rows.
bool pictureFits(std::string_view picture)
{
    if (picture.substr(0, kPngSignature.size()) == kPngSignature) {
        // Signature, then the IHDR chunk: length, type, width, height.
        return picture.size() >= 24 && picture.substr(12, 4) == "IHDR" && sideFits(be32(picture, 16)) &&
               sideFits(be32(picture, 20));
    }
    if (picture.size() < 12)
        return false;
    const std::uint32_t headerSize = le32(picture, 0);
    if (headerSize == 12)  // the old core header, 16-bit sides
        return sideFits(le16(picture, 4)) && sideFits((le16(picture, 6) + 1) / 2);
    if (headerSize < 40 || picture.size() < 16)
        return false;
    const auto width = std::int32_t(le32(picture, 4));
    const auto height = std::int32_t(le32(picture, 8));
    // Bottom-up or top-down: the sign is the order of the rows, not the size.
    const std::uint32_t rows = height < 0 ? 0u - std::uint32_t(height) : std::uint32_t(height);
    return width > 0 && sideFits(std::uint32_t(width)) && sideFits((rows + 1) / 2);
}

}  // namespace

bool IconFileFits(std::string_view bytes)
{
    // Many sites hand out a PNG as their favicon: one picture, judged the same way.
    if (bytes.substr(0, kPngSignature.size()) == kPngSignature)
        return pictureFits(bytes);
    constexpr std::size_t DirectorySize = 6, EntrySize = 16;
    if (bytes.size() < DirectorySize || le16(bytes, 0) != 0)
        return false;
    const std::uint32_t type = le16(bytes, 2);
    const std::uint32_t count = le16(bytes, 4);
    if ((type != 1 && type != 2) || count == 0 || count > std::uint32_t(MaxIconFrames))
        return false;
    if (bytes.size() < DirectorySize + count * EntrySize)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = DirectorySize + i * EntrySize;
        const std::uint64_t size = le32(bytes, entry + 8);
        const std::uint64_t offset = le32(bytes, entry + 12);
        if (size == 0 || offset + size > bytes.size())
            return false;
        if (!pictureFits(bytes.substr(std::size_t(offset), std::size_t(size))))
            return false;
    }
    return true;
}

}  // namespace tessaly
