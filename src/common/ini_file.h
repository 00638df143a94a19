#pragma once
// An INI profile held in memory: "[section]" headers and "key=value" lines, read and changed with
// the semantics of the classic profile functions (names without regard to case, defaults for
// missing keys, "0x" hexadecimal integers, values cut at 2047 characters, whole sections erased).
//
// The text is kept line by line, so everything the program does not touch (unknown sections and
// keys, comments, blank lines, the order, the line ends) is written back exactly as it was read.
// Reading and writing the file itself is the caller's business (the window writes it atomically).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The longest value a read returns; a longer one is cut there.
inline constexpr std::size_t IniMaxValueLength = 2047;

// An integer as the profile functions read it: optional sign and decimal digits, or "0x"/"0X"
// followed by up to eight hexadecimal digits (a text of at least three characters) taken as a
// 32-bit pattern; anything else, or a decimal value outside the 32-bit range, is no integer.
std::optional<int> ParseProfileInteger(std::string_view text);

class IniFile {
public:
    IniFile() = default;
    // Any text is accepted: lines that are neither headers nor key lines are kept as they are.
    static IniFile parse(std::string_view text);
    // The whole file: unchanged lines exactly as read, changed and new ones with the file's line end.
    std::string text() const;

    // The value of the first matching key of the first matching section, blanks around it removed
    // and one pair of surrounding quotes taken off; the default when the key is missing.
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    int readInteger(std::string_view section, std::string_view key, int def) const;
    // Written as "1"/"0"; read as an integer, any non-zero value meaning yes.
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    // Sets a key, creating the section at the end when it is missing. A value holding a line break
    // cannot be stored in one line and is refused (false, nothing changed).
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    // Removes every section of that name with all its lines.
    void eraseSection(std::string_view section);
    void eraseKey(std::string_view section, std::string_view key);

private:
    struct Line {
        std::string content;  // without the line end
        std::string end;      // "\n", "\r\n" or "" (a last line without one)
    };
    // Line index of the header of the first section of that name, or npos.
    std::size_t findSection(std::string_view section) const;
    // One past the last line of the section whose header is at index header.
    std::size_t sectionEnd(std::size_t header) const;
    std::size_t findKey(std::size_t header, std::string_view key) const;
    std::string newLineEnd() const;

    std::string bom_;
    std::vector<Line> lines_;
};

}  // namespace tessaly
