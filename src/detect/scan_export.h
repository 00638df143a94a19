#pragma once
// The scan result written out for other programs: plain text, CSV (RFC 4180) or JSON. Rows can be
// handed over while the scan still runs, so that a stopped scan still leaves a whole document.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "detect/scan.h"

namespace tessaly {

enum class ExportFormat { Text, Csv, Json };

// "text", "csv", "json"; nothing for any other name.
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);

// seconds since 1970 (UTC) as local time in ISO 8601 with the offset from UTC:
// "2011-03-05T09:41:07+09:00". Empty when the system cannot convert the time.
std::string IsoLocalTime(std::int64_t secondsSinceEpoch);

// Writes one document. Names and paths go out as ShownName shows them, so a line break or an
// invalid byte in a name can neither break a row nor make the document unreadable; sizes are plain
// numbers, times ISO 8601.
//   text: one row a line, name, size and (for parents) time separated by tabs;
//   CSV:  a header line, then kind ("parent"/"stream"), name, size, modified; CR LF line ends;
//   JSON: an object with the folder, "parents" (one object per parent: path, size, modified and its
//         "streams", each a name and a size), and whether the scan ran to its end with its counters.
class ScanExport {
public:
    using Sink = std::function<void(std::string_view)>;

    ScanExport(ExportFormat format, std::string folder, Sink sink);

    // The document's opening (the CSV header, the JSON object's start).
    void begin();
    // rows[from..] as whole groups: each parent with all its streams after it.
    void addRows(const ScanRows& rows, std::size_t from);
    // The closing; complete says whether the scan saw the whole tree.
    void end(const ScanCounters& counters, bool complete);

private:
    ExportFormat format_;
    std::string folder_;
    Sink sink_;
    std::string out_;
    bool firstParent_ = true;
};

// The whole document for a finished list, in one string.
std::string ExportScanResult(ExportFormat format, const std::string& folder, const ScanRows& rows,
                             const ScanCounters& counters, bool complete);

}  // namespace tessaly
