#pragma once
// The scan result written out for other programs: plain text, CSV (RFC 4180) or JSON. Rows can be
// handed over while the scan still runs, so that a stopped scan still leaves a whole document.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "detect/scan.h"

namespace tessaly {

enum class ExportFormat { Text, Csv, Json };

// "text", "csv", "json"; nothing for any other name.
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);

// seconds since 1970 (UTC) as local time in ISO 8601 with the offset from UTC:
// "2011-03-05T09:41:07+09:00". Empty when the system cannot convert the time.
std::string IsoLocalTime(std::int64_t secondsSinceEpoch);

// Writes one document. Names and paths go out as ExportedName writes them, so a line break or an
// invalid byte in a name can neither break a row nor make the document unreadable, and every name
// reads back to its bytes; sizes are plain numbers, times ISO 8601. After the rows, each folder or
// file the scan could not read, with the system's reason, and how far the scan saw:
//   text: one row a line, name, size and (for parents) time separated by tabs; a passed-over item
//         as name, "skipped" and the reason; a last line without a tab, "(incomplete: N skipped)"
//         or "(cancelled)", when the scan did not see the whole tree;
//   CSV:  a header line, then kind ("parent"/"stream"/"skipped"), name, size, modified, reason;
//         one last record of kind "incomplete" or "cancelled" when the scan did not see it all;
//         CR LF line ends;
//   JSON: an object with the folder, "parents" (one object per parent: path, size, modified and its
//         "streams", each a name and a size), whether the scan saw the whole tree ("complete") and
//         was cancelled, "skipped" (path and reason each), and the counters.
class ScanExport {
public:
    using Sink = std::function<void(std::string_view)>;

    ScanExport(ExportFormat format, std::string folder, Sink sink);

    // The document's opening (the CSV header, the JSON object's start).
    void begin();
    // rows[from..] as whole groups: each parent with all its streams after it.
    void addRows(const ScanRows& rows, std::size_t from);
    // What the scan could not read, and the closing.
    void end(const ScanCounters& counters, const std::vector<ScanSkip>& skipped);

private:
    ExportFormat format_;
    std::string folder_;
    Sink sink_;
    std::string out_;
    bool firstParent_ = true;
    // Files written together share their times: the last time and its text are kept.
    std::optional<std::pair<std::int64_t, std::string>> lastTime_;
    const std::string& modified(const ScanRow& row);
};

// The whole document for a finished list, in one string.
std::string ExportScanResult(ExportFormat format, const std::string& folder, const ScanRows& rows,
                             const ScanCounters& counters, const std::vector<ScanSkip>& skipped);

}  // namespace tessaly
