#include "common/qt_log_model.h"

#include <algorithm>
#include <cstring>

#include "common/qt_text.h"

namespace tessaly {

namespace {

// Lines appended one by one go to a chunk of this many at most, so that no chunk grows without end.
constexpr std::size_t OwnChunkLines = 4096;

}  // namespace

LogModel::LogModel(QObject* parent) : QObject(parent) {}

LogLines& LogModel::ownChunk()
{
    if (!lastIsOwn_ || chunks_.back().size() >= OwnChunkLines) {
        starts_.push_back(count_);
        chunks_.emplace_back();
        lastIsOwn_ = true;
    }
    return chunks_.back();
}

void LogModel::appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject)
{
    const std::size_t firstNew = count_;
    ownChunk().append(stamp, phrase, subject);
    ++count_;
    added(firstNew);
}

void LogModel::appendLines(std::string_view utf8)
{
    const std::size_t firstNew = count_;
    std::size_t from = 0;
    while (true) {
        const void* found = std::memchr(utf8.data() + from, '\n', utf8.size() - from);
        const std::size_t end = found ? std::size_t(static_cast<const char*>(found) - utf8.data()) : utf8.size();
        ownChunk().append(utf8.substr(from, end - from));
        ++count_;
        if (!found)
            break;
        from = end + 1;
    }
    added(firstNew);
}

void LogModel::takeLines(LogLines lines)
{
    if (lines.empty())
        return;
    const std::size_t firstNew = count_;
    starts_.push_back(count_);
    count_ += lines.size();
    chunks_.push_back(std::move(lines));
    lastIsOwn_ = false;
    added(firstNew);
}

void LogModel::added(std::size_t firstNew)
{
    // The longest new line in bytes, which the views measure.
    int widest = int(firstNew);
    std::size_t longest = 0;
    for (std::size_t c = std::size_t(std::upper_bound(starts_.begin(), starts_.end(), firstNew) - starts_.begin()) - 1;
         c < chunks_.size(); ++c)
        for (std::size_t i = firstNew > starts_[c] ? firstNew - starts_[c] : 0; i < chunks_[c].size(); ++i)
            if (chunks_[c].lengthOf(i) > longest) {
                longest = chunks_[c].lengthOf(i);
                widest = int(starts_[c] + i);
            }
    Q_EMIT linesAdded(firstNew, widest);
}

void LogModel::clear()
{
    std::vector<LogLines>().swap(chunks_);
    std::vector<std::size_t>().swap(starts_);
    lastIsOwn_ = false;
    count_ = 0;
    Q_EMIT cleared();
}

std::pair<const LogLines*, std::size_t> LogModel::find(int index) const
{
    const auto i = std::size_t(index);
    const std::size_t c = std::size_t(std::upper_bound(starts_.begin(), starts_.end(), i) - starts_.begin()) - 1;
    return {&chunks_[c], i - starts_[c]};
}

std::size_t LogModel::lengthOf(int index) const
{
    const auto [chunk, i] = find(index);
    return chunk->lengthOf(i);
}

std::string LogModel::bytesOf(int index) const
{
    const auto [chunk, i] = find(index);
    return chunk->line(i);
}

QString LogModel::line(int index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    return tr8(bytesOf(index));
}

QString LogModel::toPlainText() const
{
    std::string all;
    std::size_t bytes = count_;
    for (const LogLines& chunk : chunks_)
        bytes += chunk.bytes();
    all.reserve(bytes);
    bool first = true;
    for (const LogLines& chunk : chunks_)
        chunk.forEach(0, [&all, &first](std::size_t, std::string_view text) {
            if (!first)
                all.push_back('\n');
            first = false;
            all.append(text);
        });
    return tr8(all);
}

}  // namespace tessaly
