#pragma once
// The operation log: the shape of a log line, the timestamp, the call-result text and the sink that
// the window (or a test) provides to receive finished lines.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/log_lines.h"

namespace tessaly {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime CurrentLocalTime();
// The local time of seconds since 1970 (UTC); nothing when the system cannot convert it. Safe on
// any thread.
std::optional<LocalTime> LocalTimeAt(std::int64_t secondsSinceEpoch);
// "yyyymmdd-hhmmss.zzz ": always 20 characters, ending with one blank.
std::string FormatTimeStamp(const LocalTime& t);
std::string LogTimeStamp();

// Cuts every trailing byte of value 0x20 or less and every trailing ASCII full stop, repeatedly, so
// that a system text ends on its last visible character ("。" stays).
std::string TrimSystemMessage(std::string_view text);

// n in signed decimal, ",", the last error in unsigned decimal, ":", the trimmed system text.
std::string CallResultText(std::int32_t n, std::uint32_t lastError, std::string_view systemMessage);

// Receives whole lines; lines are only ever appended.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void appendLine(const std::string& line) = 0;
    // False for a sink that throws every line away: the log then builds none.
    virtual bool keepsLines() const { return true; }
    // The line given in its three parts; a sink that collects lines overrides it to copy the parts
    // straight into its store.
    virtual void appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject);
    // A batch of lines, which a sink that keeps lines may keep as it is rather than copy.
    virtual void takeLines(LogLines lines);
};

// Builds lines at the moment of the event and hands them to the sink.
class OperationLog {
public:
    explicit OperationLog(LogSink& sink) : sink_(sink) {}
    // Timestamp, phrase, subject, with nothing in between. The subject (a name or path) is written
    // as ShownName shows it, so that each call is one line whatever bytes the name holds.
    void AppendLogLine(std::string_view phrase, std::string_view subject = {});
    // The line after a launch: timestamp and call-result text.
    void appendResultLine(std::int32_t n, std::uint32_t lastError, std::string_view systemMessage);

private:
    LogSink& sink_;
};

}  // namespace tessaly
