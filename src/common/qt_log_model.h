#pragma once
// The operation log's lines as the window keeps them: the sink the log writes to, apart from any
// view of it. A scan writes a line per result row, a hundred thousand and more; the lines are kept
// as UTF-8 in blocks of a mebibyte that are never moved, with each line's place, and a batch is
// appended in time proportional to its bytes; a scan's batch is kept as the string it came in,
// without a copy. Views follow it through its signals.

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "common/oplog.h"

namespace tessaly {

class LogModel final : public QObject, public LogSink {
    Q_OBJECT

public:
    explicit LogModel(QObject* parent = nullptr);

    // One line, or several separated by '\n' (no trailing one), in one go.
    void appendLine(const std::string& line) override { appendLines(line); }
    void appendLines(std::string_view utf8);
    // The same, keeping a batch of lines as a block of its own.
    void takeLines(std::string utf8) override;
    void clear();

    int lineCount() const { return int(lines_.size()); }
    std::string_view bytesOf(int index) const;
    QString line(int index) const;
    // Every line, each followed by '\n' but the last.
    QString toPlainText() const;

Q_SIGNALS:
    // Lines from firstNew on were appended; widest is the longest of them in bytes.
    void linesAdded(std::size_t firstNew, std::string_view widest);
    void cleared();

private:
    // Indexes the lines of the last block from offset on and tells the views.
    void indexLines(std::size_t offset);

    struct Line {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    std::vector<std::string> blocks_;  // the lines' bytes, one after the other; never grown past capacity
    std::deque<Line> lines_;  // grows without moving what it holds: no pause at a doubling
    std::size_t bytes_ = 0;            // the bytes of all lines
};

}  // namespace tessaly
