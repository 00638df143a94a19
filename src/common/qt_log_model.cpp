#include "common/qt_log_model.h"

#include <algorithm>
#include <cstring>

#include "common/qt_text.h"

namespace tessaly {

namespace {

constexpr std::size_t BlockBytes = std::size_t(1) << 20;  // the size of a block of lines

}  // namespace

LogModel::LogModel(QObject* parent) : QObject(parent) {}

std::string_view LogModel::bytesOf(int index) const
{
    const Line& l = lines_[std::size_t(index)];
    return std::string_view(blocks_[l.block].data() + l.offset, l.size);
}

QString LogModel::line(int index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    return tr8(bytesOf(index));
}

void LogModel::appendLines(std::string_view utf8)
{
    // A block is filled up to its reserved size and never reallocated, so the lines never move;
    // lines longer than a block have one of their own.
    if (blocks_.empty() || blocks_.back().size() + utf8.size() > blocks_.back().capacity()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(BlockBytes, utf8.size()));
    }
    std::string& block = blocks_.back();
    const std::size_t offset = block.size();
    block.append(utf8);
    indexLines(offset);
}

void LogModel::takeLines(std::string utf8)
{
    // A batch the size of a block's share is kept as it came; a small one is copied, so that a
    // run of single lines does not make a block each.
    if (utf8.size() < BlockBytes / 16)
        return appendLines(utf8);
    blocks_.push_back(std::move(utf8));
    indexLines(0);
}

void LogModel::indexLines(std::size_t offset)
{
    const std::size_t firstNew = lines_.size();
    const std::string& block = blocks_.back();
    const auto blockIndex = std::uint32_t(blocks_.size() - 1);
    std::string_view widest;
    std::size_t from = offset;
    while (true) {
        const void* found = std::memchr(block.data() + from, '\n', block.size() - from);
        const std::size_t end = found ? std::size_t(static_cast<const char*>(found) - block.data()) : block.size();
        lines_.push_back({blockIndex, std::uint32_t(from), std::uint32_t(end - from)});
        if (end - from > widest.size())
            widest = std::string_view(block.data() + from, end - from);
        if (!found)
            break;
        from = end + 1;
    }
    bytes_ += block.size() - offset - (lines_.size() - firstNew - 1);
    Q_EMIT linesAdded(firstNew, widest);
}

void LogModel::clear()
{
    std::vector<std::string>().swap(blocks_);
    std::deque<Line>().swap(lines_);
    bytes_ = 0;
    Q_EMIT cleared();
}

QString LogModel::toPlainText() const
{
    std::string all;
    all.reserve(bytes_ + lines_.size());
    for (int i = 0; i < lineCount(); ++i) {
        if (i > 0)
            all.push_back('\n');
        all.append(bytesOf(i));
    }
    return tr8(all);
}

}  // namespace tessaly
