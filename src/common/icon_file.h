#pragma once
// What an icon file may make when decoded. A few kilobytes of icon file can declare pictures of
// many thousand pixels a side (a PNG compresses an even colour to almost nothing), and dozens of
// them; decoding such a file would take gigabytes and minutes. Its structure is read first, and
// only a file whose every picture is of icon size is decoded at all.

#include <cstdint>
#include <string_view>

namespace tessaly {

// The most pictures one icon file may hold; real ones hold a handful of sizes and depths.
inline constexpr int MaxIconFrames = 32;
// The largest side of one picture, the largest the icon format itself can state.
inline constexpr std::uint32_t MaxIconSide = 256;

// Whether bytes are a Windows icon (or cursor) file within those limits: a directory of 1 to
// MaxIconFrames entries, each entry's data inside the file and each picture, PNG or bitmap, of
// at most MaxIconSide pixels a side by its own header (not only by the directory, which a crafted
// file may contradict). A PNG file alone, as sites hand out for favicons, is one such picture.
bool IconFileFits(std::string_view bytes);

}  // namespace tessaly
