#pragma once
// The operation log's lines as the window keeps them: the sink the log writes to, apart from any
// view of it. A scan writes a line per result row, a hundred thousand and more; the lines are kept in
// chunks of compact lines (LogLines), a scan's batch as the chunk it came in, and a line is rebuilt
// when it is shown. Views follow it through its signals.

#include <QObject>
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/log_lines.h"
#include "common/oplog.h"

namespace tessaly {

class LogModel final : public QObject, public LogSink {
    Q_OBJECT

public:
    explicit LogModel(QObject* parent = nullptr);

    // One line, or several separated by '\n' (no trailing one), in one go.
    void appendLine(const std::string& line) override { appendLines(line); }
    void appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject) override;
    void appendLines(std::string_view utf8);
    // A batch of lines, kept as it came.
    void takeLines(LogLines lines) override;
    void clear();

    int lineCount() const { return int(count_); }
    // The length of line index in bytes.
    std::size_t lengthOf(int index) const;
    std::string bytesOf(int index) const;
    QString line(int index) const;
    // Every line, each followed by '\n' but the last.
    QString toPlainText() const;

Q_SIGNALS:
    // Lines from firstNew on were appended; widest is the longest of them in bytes.
    void linesAdded(std::size_t firstNew, int widest);
    void cleared();

private:
    // The chunk that lines appended one by one go to.
    LogLines& ownChunk();
    // The chunk holding line index, and the line's place in it.
    std::pair<const LogLines*, std::size_t> find(int index) const;
    // Tells the views of the lines from firstNew on.
    void added(std::size_t firstNew);

    std::vector<LogLines> chunks_;
    std::vector<std::size_t> starts_;  // the index of each chunk's first line
    bool lastIsOwn_ = false;           // the last chunk takes lines appended one by one
    std::size_t count_ = 0;
};

}  // namespace tessaly
