#include "common/oplog.h"

#include "common/shown_name.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace tessaly {

std::optional<LocalTime> LocalTimeAt(std::int64_t secondsSinceEpoch)
{
    // localtime's result is shared by every thread on some systems: it is copied out under a lock,
    // since the window and the scan's thread both ask.
    static std::mutex mutex;
    const std::time_t t = std::time_t(secondsSinceEpoch);
    std::lock_guard lock(mutex);
    const std::tm* tm = std::localtime(&t);
    if (!tm)
        return std::nullopt;
    return LocalTime{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec, 0};
}

LocalTime CurrentLocalTime()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::time_t secs = system_clock::to_time_t(now);
    // localtime consults the zone file again on every call; a scan writes a line per result row,
    // so the broken-down time is kept for the rest of the same second, by each thread that logs.
    thread_local std::time_t cachedSecs = -1;
    thread_local LocalTime cached{};
    if (secs != cachedSecs) {
        cached = LocalTimeAt(secs).value_or(LocalTime{});
        cachedSecs = secs;
    }
    LocalTime t = cached;
    t.millisecond = int(ms);
    return t;
}

std::string FormatTimeStamp(const LocalTime& t)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d.%03d ", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    return buf;
}

std::string LogTimeStamp()
{
    return FormatTimeStamp(CurrentLocalTime());
}

std::string TrimSystemMessage(std::string_view text)
{
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c > 0x20 && c != '.')
            break;
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string CallResultText(std::int32_t n, std::uint32_t lastError, std::string_view systemMessage)
{
    return std::to_string(n) + "," + std::to_string(lastError) + ":" + TrimSystemMessage(systemMessage);
}

void OperationLog::AppendLogLine(std::string_view phrase, std::string_view subject)
{
    if (!sink_.keepsLines())
        return;
    // A scan writes a line per result row, many within the same millisecond: the stamp is formatted
    // again only when the time has moved on, and the line is built in one allocation.
    static LocalTime stampedAt{-1};
    static std::string stamp;
    const LocalTime now = CurrentLocalTime();
    if (now.millisecond != stampedAt.millisecond || now.second != stampedAt.second ||
        now.minute != stampedAt.minute || now.hour != stampedAt.hour || now.day != stampedAt.day ||
        now.month != stampedAt.month || now.year != stampedAt.year) {
        stamp = FormatTimeStamp(now);
        stampedAt = now;
    }
    // A name can hold any byte but "/" and NUL: a line break in it must not forge a line of its own.
    std::string escaped;
    if (NeedsEscaping(subject)) {
        escaped = ShownName(subject);
        subject = escaped;
    }
    sink_.appendLine(stamp, phrase, subject);
}

void LogSink::appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject)
{
    std::string line;
    line.reserve(stamp.size() + phrase.size() + subject.size());
    line.append(stamp).append(phrase).append(subject);
    appendLine(line);
}

void LogSink::takeLines(LogLines lines)
{
    lines.forEach(0, [this](std::size_t, std::string_view line) { appendLine(std::string(line)); });
}

void OperationLog::appendResultLine(std::int32_t n, std::uint32_t lastError, std::string_view systemMessage)
{
    // The system's text may quote the path it failed on.
    sink_.appendLine(LogTimeStamp() + ShownName(CallResultText(n, lastError, systemMessage)));
}

}  // namespace tessaly
