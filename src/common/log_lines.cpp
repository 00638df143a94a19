#include "common/log_lines.h"

#include <algorithm>
#include <cstring>

namespace tessaly {

namespace {

// How many bytes a and b have in common at their start, compared eight at a time.
std::size_t CommonStart(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            break;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

}  // namespace

void LogLines::append(std::string_view stamp, std::string_view phrase, std::string_view subject)
{
    // The bytes in common with the last line, found part by part without joining the parts.
    std::size_t shared = 0;
    if (entries_.size() % RestartEvery != 0) {
        std::string_view rest = last_;
        for (std::string_view part : {stamp, phrase, subject}) {
            const std::size_t same = CommonStart(part, rest);
            shared += same;
            if (same < part.size())
                break;
            rest.remove_prefix(same);
        }
    }
    last_.resize(shared);
    const std::size_t offset = bytes_.size();
    std::size_t skip = shared;
    for (std::string_view part : {stamp, phrase, subject}) {
        const std::size_t from = std::min(skip, part.size());
        skip -= from;
        bytes_.append(part.substr(from));
        last_.append(part.substr(from));
    }
    entries_.push_back({std::uint32_t(offset), std::uint32_t(bytes_.size() - offset), std::uint32_t(shared)});
    total_ += last_.size();
}

void LogLines::reserve(std::size_t lines, std::size_t bytes)
{
    entries_.reserve(lines);
    bytes_.reserve(bytes);
}

std::size_t LogLines::restartOf(std::size_t index) const
{
    return index - index % RestartEvery;
}

void LogLines::extend(std::string& text, std::size_t index) const
{
    const Entry& e = entries_[index];
    text.resize(e.shared);
    text.append(bytes_, e.offset, e.size);
}

std::string LogLines::line(std::size_t index) const
{
    std::string text;
    for (std::size_t i = restartOf(index); i <= index; ++i)
        extend(text, i);
    return text;
}

}  // namespace tessaly
