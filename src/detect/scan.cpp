#include "detect/scan.h"

#include <ctime>
#include <exception>
#include <memory>

#include "app/texts.h"
#include "platform/system.h"
#include "streams/icons.h"
#include "streams/workspace.h"

namespace tessaly {

namespace {

// Appends value with its digits grouped in threes, without a temporary string.
void AppendGrouped(std::string& out, std::uint64_t value, std::string_view separator)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n - 1; i >= 0; --i) {
        out.push_back(digits[i]);
        if (i > 0 && i % 3 == 0)
            out.append(separator);
    }
}

// Writes the progress text into out, reusing its storage: it is rebuilt after every entry.
void WriteProgress(std::string& out, const ScanCounters& counters, std::string_view groupSeparator)
{
    out.clear();
    AppendGrouped(out, std::uint64_t(counters.ParentsFound), groupSeparator);
    out.push_back(':');
    AppendGrouped(out, std::uint64_t(counters.ChildrenFound), groupSeparator);
    out.append(" / ");
    AppendGrouped(out, std::uint64_t(counters.FilesExamined), groupSeparator);
}

}  // namespace

std::string ProgressText(const ScanCounters& counters, std::string_view groupSeparator)
{
    std::string text;
    WriteProgress(text, counters, groupSeparator);
    return text;
}

std::string ScanSummary(const ScanCounters& counters, std::string_view groupSeparator)
{
    return ProgressText(counters, groupSeparator) +
           std::string(counters.ParentsFound > 0 ? texts::StatusDetected : texts::StatusNothingFound);
}

std::string ModifiedCellText(LocalTime time, ScanView& view)
{
    // Two-second resolution, as the times of the result list have always been shown.
    time.second -= time.second % 2;
    time.millisecond = 0;
    const bool midnight = time.hour == 0 && time.minute == 0 && time.second == 0;
    return view.formatModified(time, !midnight);
}

std::optional<LocalTime> ToLocalTime(std::int64_t secondsSinceEpoch)
{
    const std::time_t t = std::time_t(secondsSinceEpoch);
    // The scan runs on the window thread only, so the shared result of localtime is safe here.
    const std::tm* tm = std::localtime(&t);
    if (!tm)
        return std::nullopt;
    return LocalTime{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec, 0};
}

void FolderScan::reset()
{
    rows_.clear();
    icons_.clear();
    counters_ = ScanCounters{};
}

std::string FolderScan::sizeText(std::uint64_t size) const
{
    std::string text(1, ' ');
    AppendGrouped(text, size, separator_);
    return text;
}

void FolderScan::ScanFolder(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');

    std::unique_ptr<FolderListing> listing;
    try {
        auto opened = folders_.openFolder(folder);
        // Missing, not readable, path too long: the folder is passed over without a word.
        if (!opened)
            return;
        listing = std::move(opened.value());
    } catch (const std::exception&) {
        log_.AppendLogLine(texts::LibraryNotSupported, folder);
        return;
    }

    FolderEntry entry;
    while (listing->next(entry)) {
        view_.pump();
        if (counters_.CancelRequested)
            return;
        switch (entry.kind) {
        case FolderEntry::Kind::Folder:
            if (entry.name == "." || entry.name == "..")
                continue;
            ScanFolder(folder + entry.name);
            break;
        case FolderEntry::Kind::FolderLink:
            // Not followed: a link to an ancestor would make the walk endless.
            continue;
        case FolderEntry::Kind::File:
            examineFile(folder, entry);
            break;
        }
        WriteProgress(progress_, counters_, separator_);
        view_.showProgress(progress_);
        view_.pump();
    }
}

void FolderScan::examineFile(const std::string& folder, const FolderEntry& entry)
{
    ++counters_.FilesExamined;
    // One path buffer for the whole scan: most files carry no streams and need no copy of it.
    path_.assign(folder);
    path_.append(entry.name);
    const std::string& path = path_;
    EnumerateStreams(fs_, path, scratch_);
    if (scratch_.empty())
        return;

    ++counters_.ParentsFound;
    const int parentIndex = int(rows_.size());
    ScanRow parent;
    parent.caption = path;
    // The file may have gone since it was listed: its cells stay empty rather than show made-up values.
    const std::optional<FileFacts> facts = folders_.lookup(path);
    if (entry.size || facts) {
        parent.bytes = entry.size ? *entry.size : facts->size;
        parent.size = sizeText(parent.bytes);
    }
    if (facts) {
        parent.modifiedTime = facts->modified;
        if (const auto local = ToLocalTime(facts->modified))
            parent.modified = ModifiedCellText(*local, view_);
    }
    parent.state = 0;
    parent.image = parentIndex;
    rows_.push_back(std::move(parent));
    AddFileIcon(fs_, icons_, log_, path);
    log_.AppendLogLine(texts::ParentDetected, path);

    for (StreamEntry& stream : scratch_) {
        ++counters_.ChildrenFound;
        const int index = int(rows_.size());
        // The entry's text moves into its row; the row's caption is the same text.
        rows_.push_back(ScanRow{std::move(stream.text), sizeText(stream.size), {}, index, -1, stream.size, {}});
        const std::string& caption = rows_.back().caption;
        AddFileIcon(fs_, icons_, log_, caption);
        log_.AppendLogLine(texts::ChildDetected, caption);
    }
}

}  // namespace tessaly
