#include "common/ini_file.h"

#include <cstdint>
#include <limits>

#include "common/numbers.h"

namespace tessaly {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// The name of a "[name]" header line, or nothing for any other line.
std::optional<std::string_view> headerName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

// The key of a "key=value" line (comments starting with ";" are no keys), or nothing.
std::optional<std::string_view> keyName(std::string_view line)
{
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = trim(line.substr(0, eq));
    if (key.empty())
        return std::nullopt;
    return key;
}

// Cuts s to at most max bytes without leaving half of a UTF-8 character at the end.
std::string cutValue(std::string_view s, std::size_t max)
{
    if (s.size() <= max)
        return std::string(s);
    std::size_t end = max;
    // Back off over continuation bytes to the start of the character that the cut would split.
    for (int i = 0; i < 3 && end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80; ++i)
        --end;
    if ((static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        end = max;  // not UTF-8 after all: cut at the byte limit
    return std::string(s.substr(0, end));
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

}  // namespace

std::optional<int> ParseProfileInteger(std::string_view text)
{
    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = text.substr(2);
        if (digits.size() > 8)
            return std::nullopt;
        std::uint32_t value = 0;
        for (char c : digits) {
            const int d = HexDigitValue(c);
            if (d < 0)
                return std::nullopt;
            value = value << 4 | std::uint32_t(d);
        }
        return static_cast<std::int32_t>(value);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return int(value);
}

IniFile IniFile::parse(std::string_view text)
{
    IniFile ini;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        ini.bom_ = "\xEF\xBB\xBF";
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        Line line;
        if (nl == std::string_view::npos) {
            line.content = std::string(text);
            text = {};
        } else {
            std::string_view content = text.substr(0, nl);
            line.end = "\n";
            if (!content.empty() && content.back() == '\r') {
                content.remove_suffix(1);
                line.end = "\r\n";
            }
            line.content = std::string(content);
            text.remove_prefix(nl + 1);
        }
        ini.lines_.push_back(std::move(line));
    }
    return ini;
}

std::string IniFile::text() const
{
    std::string out = bom_;
    for (const Line& line : lines_)
        out += line.content + line.end;
    return out;
}

std::size_t IniFile::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (auto name = headerName(lines_[i].content); name && sameName(*name, section))
            return i;
    return std::string::npos;
}

std::size_t IniFile::sectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && !headerName(lines_[i].content))
        ++i;
    return i;
}

std::size_t IniFile::findKey(std::size_t header, std::string_view key) const
{
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (auto name = keyName(lines_[i].content); name && sameName(*name, key))
            return i;
    return std::string::npos;
}

std::string IniFile::newLineEnd() const
{
    for (const Line& line : lines_)
        if (!line.end.empty())
            return line.end;
    return "\n";
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section) != std::string::npos;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const
{
    const std::size_t header = findSection(section);
    return header != std::string::npos && findKey(header, key) != std::string::npos;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const
{
    const std::size_t header = findSection(section);
    const std::size_t at = header == std::string::npos ? header : findKey(header, key);
    if (at == std::string::npos)
        return cutValue(def, IniMaxValueLength);
    const std::string& content = lines_[at].content;
    std::string_view value = trim(std::string_view(content).substr(content.find('=') + 1));
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return cutValue(value, IniMaxValueLength);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const
{
    if (!hasKey(section, key))
        return def;
    return ParseProfileInteger(readString(section, key, {})).value_or(def);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return false;
    // Blanks at either end, or a value that is itself quoted, would be lost on reading: quote it.
    std::string stored(value);
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) ||
                           (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())))
        stored = '"' + stored + '"';
    Line line{std::string(key) + "=" + stored, newLineEnd()};

    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        if (!lines_.empty() && lines_.back().end.empty())
            lines_.back().end = newLineEnd();
        lines_.push_back(Line{"[" + std::string(section) + "]", newLineEnd()});
        lines_.push_back(std::move(line));
        return true;
    }
    if (const std::size_t at = findKey(header, key); at != std::string::npos) {
        lines_[at].content = std::move(line.content);
        return true;
    }
    // A new key goes after the section's last non-blank line, so that blank lines between sections stay.
    std::size_t at = sectionEnd(header);
    while (at > header + 1 && trim(lines_[at - 1].content).empty())
        --at;
    if (lines_[at - 1].end.empty())
        lines_[at - 1].end = newLineEnd();
    lines_.insert(lines_.begin() + std::ptrdiff_t(at), std::move(line));
    return true;
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void IniFile::eraseSection(std::string_view section)
{
    for (std::size_t header = findSection(section); header != std::string::npos; header = findSection(section))
        lines_.erase(lines_.begin() + std::ptrdiff_t(header), lines_.begin() + std::ptrdiff_t(sectionEnd(header)));
}

void IniFile::eraseKey(std::string_view section, std::string_view key)
{
    const std::size_t header = findSection(section);
    if (header == std::string::npos)
        return;
    for (std::size_t at = findKey(header, key); at != std::string::npos; at = findKey(header, key))
        lines_.erase(lines_.begin() + std::ptrdiff_t(at));
}

}  // namespace tessaly
