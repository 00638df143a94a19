#pragma once
// What the preview pane shows of an item: at most the first 64 KiB of it, judged as text (UTF-8,
// UTF-16 with a byte order mark, Shift_JIS or EUC-JP), as a picture, or as binary shown in hex.
// The rest of a larger item is announced by its size and never read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tessaly {

inline constexpr std::size_t PreviewLimit = 64 * 1024;

// The first bytes of an item and its whole size.
struct PreviewSample {
    std::string bytes;        // at most the limit asked for
    std::uint64_t size = 0;   // the item's whole size as the listing knew it, or as many as were read
    bool truncated = false;   // more bytes follow what was read
};

// Reads at most limit bytes of item; knownSize (the tree's or the list's figure) is what a cut
// sample announces as the whole size. Reads in pieces and stops at the limit, whatever the item's
// size.
Expected<PreviewSample> ReadPreview(FileSystem& fs, const ItemRef& item, std::uint64_t knownSize,
                                    std::size_t limit = PreviewLimit);

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, ShiftJis, EucJp };

struct ContentGuess {
    enum class Kind { Empty, Text, Image, Binary };
    Kind kind = Kind::Empty;
    TextEncoding encoding = TextEncoding::Utf8;
    // For text: where the text starts (after a byte order mark) and how many bytes to decode (a
    // character cut by the end of a truncated sample is left out).
    std::size_t textStart = 0;
    std::size_t textLength = 0;
    std::string imageFormat;  // for images: "png", "jpeg", "gif", "bmp", "ico", "webp"
};

// Decides how to show bytes. A text must decode without error in its encoding and hold no control
// bytes but tab, line breaks and form feed; UTF-8 wins over the Japanese encodings, and between
// Shift_JIS and EUC-JP (whose byte ranges overlap) the one that reads as more double-byte
// characters and fewer half-width katakana. truncated: the bytes are cut from a longer item.
ContentGuess GuessContent(std::string_view bytes, bool truncated);

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD. bytes has an even length.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// Sixteen bytes a line: an eight-digit hex offset, two blanks, the bytes in hex (an extra blank
// after the eighth), two blanks and the printable ASCII bytes between bars ("." for the others).
std::string HexDump(std::string_view bytes);

}  // namespace tessaly
