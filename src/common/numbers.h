#pragma once
// Whole numbers with the locale's thousands separator, as the "#,0" family of patterns shows them.

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// 1234567 with "," gives "1,234,567"; 0 gives "0".
std::string FormatGrouped(std::uint64_t value, std::string_view separator);

// "サイズ: 1,234 バイト": an item's size as the preview and the tooltips of listed items show it.
std::string SizeLine(std::uint64_t size, std::string_view separator);

// The value of a hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char c);

}  // namespace tessaly
