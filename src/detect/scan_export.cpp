#include "detect/scan_export.h"

#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "common/shown_name.h"

namespace tessaly {

namespace {

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

// A JSON string, escaped by the library.
void AppendJsonString(std::string& out, std::string_view text)
{
    out.append(nlohmann::json(std::string(text)).dump());
}

void AppendCsvField(std::string& out, std::string_view text)
{
    out.push_back('"');
    for (const char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

std::optional<ExportFormat> ExportFormatNamed(std::string_view name)
{
    if (name == "text")
        return ExportFormat::Text;
    if (name == "csv")
        return ExportFormat::Csv;
    if (name == "json")
        return ExportFormat::Json;
    return std::nullopt;
}

std::string IsoLocalTime(std::int64_t secondsSinceEpoch)
{
    const auto local = ToLocalTime(secondsSinceEpoch);
    if (!local)
        return {};
    // The offset is what the local clock shows minus UTC, worked out from the fields alone because
    // the standard library has no portable way to ask for it.
    const std::int64_t localSeconds = DaysFromCivil(local->year, unsigned(local->month), unsigned(local->day)) * 86400 +
                                      local->hour * 3600 + local->minute * 60 + local->second;
    const std::int64_t offsetMinutes = (localSeconds - secondsSinceEpoch) / 60;
    const std::int64_t absMinutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local->year, local->month, local->day,
                  local->hour, local->minute, local->second, offsetMinutes < 0 ? '-' : '+', int(absMinutes / 60),
                  int(absMinutes % 60));
    return text;
}

ScanExport::ScanExport(ExportFormat format, std::string folder, Sink sink)
    : format_(format), folder_(std::move(folder)), sink_(std::move(sink))
{
}

const std::string& ScanExport::modified(const ScanRow& row)
{
    static const std::string none;
    if (!row.modifiedTime)
        return none;
    if (!lastTime_ || lastTime_->first != *row.modifiedTime)
        lastTime_.emplace(*row.modifiedTime, IsoLocalTime(*row.modifiedTime));
    return lastTime_->second;
}

void ScanExport::begin()
{
    switch (format_) {
    case ExportFormat::Text:
        return;
    case ExportFormat::Csv:
        sink_("kind,name,size,modified,reason\r\n");
        return;
    case ExportFormat::Json:
        out_ = "{\"folder\":";
        AppendJsonString(out_, ExportedName(folder_));
        out_.append(",\"parents\":[");
        sink_(out_);
        return;
    }
}

void ScanExport::addRows(const ScanRows& rows, std::size_t from)
{
    out_.clear();
    for (std::size_t i = from; i < rows.size(); ++i) {
        const ScanRow& row = rows[i];
        switch (format_) {
        case ExportFormat::Text:
            out_.append(ExportedName(row.caption)).append(1, '\t').append(std::to_string(row.bytes));
            if (row.isParent())
                out_.append(1, '\t').append(modified(row));
            out_.append(1, '\n');
            break;
        case ExportFormat::Csv:
            AppendCsvField(out_, row.isParent() ? "parent" : "stream");
            out_.push_back(',');
            AppendCsvField(out_, ExportedName(row.caption));
            out_.append(1, ',').append(std::to_string(row.bytes)).append(1, ',');
            AppendCsvField(out_, row.isParent() ? modified(row) : std::string());
            out_.append(",\"\"\r\n");
            break;
        case ExportFormat::Json: {
            if (!row.isParent())
                break;  // taken with its parent below
            // The objects have a fixed set of members; every string in them is written by the
            // library (building a tree of objects per parent would cost more than the walk itself).
            out_.append(firstParent_ ? "\n" : ",\n").append("{\"path\":");
            AppendJsonString(out_, ExportedName(row.caption));
            out_.append(",\"size\":").append(std::to_string(row.bytes)).append(",\"modified\":");
            if (row.modifiedTime)
                AppendJsonString(out_, modified(row));
            else
                out_.append("null");
            out_.append(",\"streams\":[");
            for (std::size_t k = i + 1; k < rows.size() && !rows[k].isParent(); ++k) {
                const ScanRow& child = rows[k];
                // A child's caption is its parent's path, ":" and the stream name; the object holds
                // the name alone, the path is the parent's.
                const std::string_view name = std::string_view(child.caption).substr(
                    std::min(child.caption.size(), row.caption.size() + 1));
                out_.append(k == i + 1 ? "{\"name\":" : ",{\"name\":");
                AppendJsonString(out_, ExportedName(name));
                out_.append(",\"size\":").append(std::to_string(child.bytes)).push_back('}');
            }
            out_.append("]}");
            firstParent_ = false;
            break;
        }
        }
    }
    if (!out_.empty())
        sink_(out_);
}

void ScanExport::end(const ScanCounters& counters, const std::vector<ScanSkip>& skipped)
{
    const ScanOutcome outcome = OutcomeOf(counters);
    out_.clear();
    switch (format_) {
    case ExportFormat::Text:
        // A row always holds a tab; the closing line holds none.
        for (const ScanSkip& skip : skipped)
            out_.append(ExportedName(skip.path)).append("\tskipped\t").append(ExportedName(skip.error.message)).append(1, '\n');
        if (outcome == ScanOutcome::Cancelled)
            out_.append("(cancelled)\n");
        else if (outcome == ScanOutcome::Incomplete)
            out_.append("(incomplete: ").append(std::to_string(skipped.size())).append(" skipped)\n");
        break;
    case ExportFormat::Csv:
        for (const ScanSkip& skip : skipped) {
            out_.append("\"skipped\",");
            AppendCsvField(out_, ExportedName(skip.path));
            out_.append(",\"\",\"\",");
            AppendCsvField(out_, ExportedName(skip.error.message));
            out_.append("\r\n");
        }
        if (outcome != ScanOutcome::Complete)
            out_.append(outcome == ScanOutcome::Cancelled ? "\"cancelled\"" : "\"incomplete\"").append(",\"\",\"\",\"\",\"\"\r\n");
        break;
    case ExportFormat::Json: {
        out_.append(firstParent_ ? "]" : "\n]");
        out_.append(",\"complete\":").append(outcome == ScanOutcome::Complete ? "true" : "false");
        out_.append(",\"cancelled\":").append(outcome == ScanOutcome::Cancelled ? "true" : "false");
        out_.append(",\"skipped\":[");
        for (std::size_t i = 0; i < skipped.size(); ++i) {
            out_.append(i == 0 ? "\n{\"path\":" : ",\n{\"path\":");
            AppendJsonString(out_, ExportedName(skipped[i].path));
            out_.append(",\"reason\":");
            AppendJsonString(out_, ExportedName(skipped[i].error.message));
            out_.push_back('}');
        }
        out_.append(skipped.empty() ? "]" : "\n]");
        nlohmann::ordered_json tail;
        tail["files_examined"] = counters.FilesExamined;
        tail["parents_found"] = counters.ParentsFound;
        tail["streams_found"] = counters.ChildrenFound;
        // The counters are written as members of the document's own object, after the lists.
        std::string text = tail.dump();
        text.front() = ',';
        out_.append(text).append(1, '\n');
        break;
    }
    }
    if (!out_.empty())
        sink_(out_);
}

std::string ExportScanResult(ExportFormat format, const std::string& folder, const ScanRows& rows,
                             const ScanCounters& counters, const std::vector<ScanSkip>& skipped)
{
    std::string document;
    ScanExport out(format, folder, [&](std::string_view piece) { document.append(piece); });
    out.begin();
    out.addRows(rows, 0);
    out.end(counters, skipped);
    return document;
}

}  // namespace tessaly
