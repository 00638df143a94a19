#pragma once
// Log lines kept compactly. A scan writes a line per result row, and each shares its time stamp, its
// phrase and most of its path with the line before; a line is kept as the number of leading bytes it
// has in common with the line before and the bytes after them, so such lines take a few bytes each.
// Every RestartEvery-th line is kept whole, so that any line is rebuilt from at most that many.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class LogLines {
public:
    static constexpr std::size_t RestartEvery = 32;

    // One line (no line break in it), or one given in its parts.
    void append(std::string_view line) { append(line, {}, {}); }
    void append(std::string_view stamp, std::string_view phrase, std::string_view subject);

    // Room for lines holding bytes in all, kept, without growing on the way.
    void reserve(std::size_t lines, std::size_t bytes);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // The length of line index in bytes.
    std::size_t lengthOf(std::size_t index) const { return entries_[index].shared + entries_[index].size; }
    // The bytes of every line together, without line breaks.
    std::size_t bytes() const { return total_; }
    std::string line(std::size_t index) const;
    // Calls visit(index, bytes) for the lines from first on, in order, each rebuilt once.
    template <class Visit>
    void forEach(std::size_t first, Visit visit) const
    {
        if (first >= size())
            return;
        std::size_t i = restartOf(first);
        std::string text;
        for (; i < size(); ++i) {
            extend(text, i);
            if (i >= first)
                visit(i, std::string_view(text));
        }
    }

private:
    struct Entry {
        std::uint32_t offset = 0;  // of the bytes kept, in bytes_
        std::uint32_t size = 0;    // the bytes kept
        std::uint32_t shared = 0;  // the leading bytes taken from the line before
    };
    std::size_t restartOf(std::size_t index) const;
    // text, holding the line before index, made line index.
    void extend(std::string& text, std::size_t index) const;

    std::string bytes_;
    std::vector<Entry> entries_;
    std::string last_;  // the last line, whole
    std::size_t total_ = 0;
};

}  // namespace tessaly
