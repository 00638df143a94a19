#pragma once
// How a name or path is shown to a person: the bytes stay as the system gave them everywhere else,
// but what is read on screen, in the log or on the clipboard can never break a line, reorder text
// or pass for something it is not.

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// name with every byte that would not read as itself replaced by a visible escape:
// - control bytes below 0x20 and 0x7F: "\n", "\r", "\t" for the usual three, "\x1b" style for the
//   others;
// - bytes that are not part of valid UTF-8: "\xff" style, one escape per byte;
// - code points that show nothing or change the text around them, as Unicode lists them (default
//   ignorable code points and the control, format, line and paragraph separator categories: C1
//   controls, zero-width characters, every direction mark, embedding, override and isolate, the
//   Hangul fillers, the soft hyphen, the byte order mark, variation selectors, tag characters):
//   "\u200b" style, "\U000e0041" past U+FFFF. A name that hides a character could otherwise pass
//   for another one beside it, look empty, or read backwards.
// Everything else, "\" included, is left as it is: the result is for reading, never a path.
std::string ShownName(std::string_view name);

// ShownName with "\" written as "\\" as well, for documents that other programs read: distinct
// names give distinct texts, and the bytes come back by reading each escape ("\\", "\n", "\r",
// "\t", "\xHH" a byte, "\uHHHH" and "\UHHHHHHHH" the code point in UTF-8) as what it stands for, every other
// character as itself. The window keeps ShownName: there "\" separates the folders of a Windows path.
std::string ExportedName(std::string_view name);

// Whether ShownName would change name (so that callers can skip the copy).
bool NeedsEscaping(std::string_view name);

// Whether cp turns the direction of the text around it (marks, embeddings, overrides, isolates).
// Texts that are shown as they are otherwise, such as a preview's content, still escape these.
bool IsDirectionControl(std::uint32_t cp);
// cp as ShownName escapes it ("\u202e").
std::string CodePointEscape(std::uint32_t cp);

}  // namespace tessaly
