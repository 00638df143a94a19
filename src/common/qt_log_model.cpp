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
    const std::size_t firstNew = lines_.size();
    std::string_view widest;
    std::size_t from = 0;
    while (true) {
        const void* found = std::memchr(utf8.data() + from, '\n', utf8.size() - from);
        const std::size_t end = found ? std::size_t(static_cast<const char*>(found) - utf8.data()) : utf8.size();
        const std::string_view piece = utf8.substr(from, end - from);
        // A block is filled up to its reserved size and never reallocated; a line longer than a
        // block has one of its own.
        if (blocks_.empty() || blocks_.back().size() + piece.size() > blocks_.back().capacity()) {
            blocks_.emplace_back();
            blocks_.back().reserve(std::max(BlockBytes, piece.size()));
        }
        std::string& block = blocks_.back();
        lines_.push_back({std::uint32_t(blocks_.size() - 1), std::uint32_t(block.size()), std::uint32_t(piece.size())});
        block.append(piece);
        bytes_ += piece.size();
        if (piece.size() > widest.size())
            widest = piece;
        if (!found)
            break;
        from = end + 1;
    }
    Q_EMIT linesAdded(firstNew, widest);
}

void LogModel::clear()
{
    std::vector<std::string>().swap(blocks_);
    std::vector<Line>().swap(lines_);
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
