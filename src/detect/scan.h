#pragma once
// The folder scan: walks a folder tree depth-first in listing order and reports every file that
// carries named streams as a parent row followed by one child row per stream, with a log line per
// row and running counters. It runs on the thread that calls it and hands control to its view
// between entries (the window runs it on a thread of its own and takes its results in batches).
//
// The system calls run ahead of the walk on a few worker threads: they read folders and examine
// files, and the calling thread takes the finished entries in walk order, so rows, log lines,
// counters, progress and the message pump come exactly as from a walk on one thread. Changes to the
// interface for that: setWorkers() (0 walks on the calling thread alone); the FolderSystem and
// FileSystem given to the scan are called from the workers, several at once, and are asked through
// their relative calls (FileSystem::listStreamsIn, FolderSystem::lookupIn), which by default fall
// back to the path-based ones (FolderSystem::openFolderIn opens a subfolder relative to its parent). ScanView::idle() lets the window turn while the walk waits for the
// workers. rows() (ScanRows) grows in blocks: a million rows grow without being copied to a new block.

#include <algorithm>
#include <cstdint>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/oplog.h"
#include "platform/system.h"
#include "streams/enumerate.h"

namespace tessaly {

class FileSystem;
class FolderSystem;
class IconList;
struct FolderEntry;

// One row of the result list.
struct ScanRow {
    std::string caption;   // parent: the file's full path; child: "<file path>:<stream name>"
    std::string size;      // " #,0"
    std::string modified;  // parents only; empty when the time could not be read
    int image = -1;        // index into the scan's icon list; equals the row's index
    int state = -1;        // 0 marks a parent row, -1 a child row
    std::uint64_t bytes = 0;                  // the size as a number, for exports
    std::optional<std::int64_t> modifiedTime; // parents: last-write time, seconds since 1970 (UTC)

    bool isParent() const { return state == 0; }
};
// The result rows: blocks that are never moved once filled, so a million rows grow without being
// copied, a row stays where it is while the list shows it, and a block is allocated per thousand
// rows rather than per few. A reader on another thread takes the rows as they come (moveOut) and
// keeps the blocks as they are (append), so rows cross threads without being copied.
class ScanRows {
public:
    static constexpr std::size_t BlockRows = 1024;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = ScanRow;
        using difference_type = std::ptrdiff_t;
        using pointer = const ScanRow*;
        using reference = const ScanRow&;
        const_iterator(const ScanRows* rows, std::size_t index) : rows_(rows), index_(index)
        {
            if (index_ < rows_->size_)
                block_ = rows_->blockOf(index_);
        }
        const ScanRow& operator*() const { return rows_->blocks_[block_][index_ - rows_->starts_[block_]]; }
        const ScanRow* operator->() const { return &**this; }
        const_iterator& operator++()
        {
            ++index_;
            if (block_ + 1 < rows_->starts_.size() && index_ >= rows_->starts_[block_ + 1])
                ++block_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

    private:
        const ScanRows* rows_;
        std::size_t index_;
        std::size_t block_ = 0;
    };

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const ScanRow& operator[](std::size_t i) const
    {
        const std::size_t b = blockOf(i);
        return blocks_[b][i - starts_[b]];
    }
    const ScanRow& front() const { return (*this)[0]; }
    const ScanRow& back() const { return blocks_.back().back(); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }
    void push_back(ScanRow row)
    {
        // A block is filled up to what it holds and never grown past it.
        if (blocks_.empty() || blocks_.back().size() == blocks_.back().capacity()) {
            addBlock({});
            blocks_.back().reserve(BlockRows);
        }
        blocks_.back().push_back(std::move(row));
        ++size_;
    }
    // Rows taken from another list, kept as they are in a block of their own.
    void append(std::vector<ScanRow> rows)
    {
        if (rows.empty())
            return;
        size_ += rows.size();
        addBlock(std::move(rows));
    }
    // The rows from index on, moved out in blocks: a full block that holds only such rows goes as
    // it is, the others' rows are moved into a block of their own. Nothing may be read here below
    // the end any more; the next row starts a new block.
    std::vector<std::vector<ScanRow>> moveOut(std::size_t index)
    {
        std::vector<std::vector<ScanRow>> out;
        for (std::size_t b = index < size_ ? blockOf(index) : blocks_.size(); b < blocks_.size(); ++b) {
            std::vector<ScanRow>& block = blocks_[b];
            if (starts_[b] >= index && block.size() == block.capacity()) {
                out.push_back(std::move(block));
            } else {
                const std::size_t from = index > starts_[b] ? index - starts_[b] : 0;
                out.emplace_back(std::make_move_iterator(block.begin() + std::ptrdiff_t(from)),
                                 std::make_move_iterator(block.end()));
            }
            std::vector<ScanRow>().swap(block);
        }
        releaseBefore(size_);
        return out;
    }
    void clear()
    {
        std::vector<std::vector<ScanRow>>().swap(blocks_);
        std::vector<std::size_t>().swap(starts_);
        size_ = 0;
        released_ = 0;
    }
    // Frees the whole blocks of rows below index, for a reader that has taken them and will not
    // look at them again; the rows keep their indexes, and those freed must not be read. The last
    // block stays, for the rows still to come.
    void releaseBefore(std::size_t index)
    {
        for (; released_ + 1 < blocks_.size() && starts_[released_ + 1] <= index; ++released_)
            std::vector<ScanRow>().swap(blocks_[released_]);
    }

private:
    void addBlock(std::vector<ScanRow> rows)
    {
        starts_.push_back(size_ - rows.size());
        blocks_.push_back(std::move(rows));
    }
    std::size_t blockOf(std::size_t i) const
    {
        return std::size_t(std::upper_bound(starts_.begin(), starts_.end(), i) - starts_.begin()) - 1;
    }

    std::vector<std::vector<ScanRow>> blocks_;  // none is grown past what it was given or reserved
    std::vector<std::size_t> starts_;           // the index of each block's first row
    std::size_t size_ = 0;
    std::size_t released_ = 0;  // blocks below this one have been freed
};

// The scan's counters and cancel flag. They are zeroed before a scan and keep the last scan's values
// until the next one starts.
struct ScanCounters {
    std::int32_t FilesExamined = 0;
    std::int32_t ParentsFound = 0;
    std::int32_t ChildrenFound = 0;
    std::int32_t Skipped = 0;  // folders and files that could not be read
    bool CancelRequested = false;
    bool Cancelled = false;  // the walk stopped on a cancel request before the end of the tree
};

// A folder or file the scan could not read, with the system's reason. A folder's path ends in "/".
struct ScanSkip {
    std::string path;
    SysError error;
};

// How far a scan saw: the whole tree, all but what it could not read, or up to a cancel.
enum class ScanOutcome { Complete, Incomplete, Cancelled };
ScanOutcome OutcomeOf(const ScanCounters& counters);

// What the scan needs from the window that shows it.
class ScanView {
public:
    virtual ~ScanView() = default;
    // Lets the window handle what is pending: repaint, clock, clicks (the cancel button among them).
    virtual void pump() = 0;
    // Called every few milliseconds while the walk waits for the workers (a slow disk, a busy
    // machine), between the same entries: a window handles what is pending as in pump().
    virtual void idle() {}
    // The status bar's progress text after a file or a whole subfolder.
    virtual void showProgress(const std::string& text) = 0;
    // The folder the walk is reading now: on entering it, and on coming back to it from a subfolder.
    virtual void showFolder(const std::string& /*folder*/) {}
    // The locale's short date of time, followed by a blank and its long time when withTime is set.
    virtual std::string formatModified(const LocalTime& time, bool withTime) = 0;
    // Called first on each thread the scan starts to read ahead (a window puts them below itself).
    virtual void workerStarted() {}
};

// Parents "#,0", children ":#,0 ", files "/ #,0": "3:5 / 1,234".
std::string ProgressText(const ScanCounters& counters, std::string_view groupSeparator);
// The status after a scan: the progress text and whether anything was found, or that the scan was
// cancelled; a scan that passed over what it could not read says how much and that it is incomplete.
std::string ScanSummary(const ScanCounters& counters, std::string_view groupSeparator);
// The modified cell of a parent row: the local time with its seconds rounded down to even, the time
// left out when that gives exactly 00:00:00.
std::string ModifiedCellText(LocalTime time, ScanView& view);
// Local time of seconds since 1970 (UTC); nothing when the system cannot convert it.
std::optional<LocalTime> ToLocalTime(std::int64_t secondsSinceEpoch);

class FolderScan {
public:
    FolderScan(FolderSystem& folders, FileSystem& fs, IconList& icons, OperationLog& log, ScanView& view)
        : folders_(folders), fs_(fs), icons_(icons), log_(log), view_(view)
    {
    }

    // The separator that groups digits in threes ("," in most locales).
    void setGroupSeparator(std::string separator) { separator_ = std::move(separator); }
    // How many threads read folders and examine files ahead of the walk; 0 does everything on the
    // calling thread, entry by entry as the walk reaches it. By default DefaultWorkers().
    void setWorkers(int workers) { workers_ = workers < 0 ? 0 : workers; }
    int workers() const { return workers_; }
    // Twice as many as the machine has cores, at most 8: a worker that waits for the disk leaves its
    // core to another, and a cold tree is read faster with more requests in flight.
    static int DefaultWorkers();
    // For a scan fed to a window: one more than there are cores, at most 8. The window runs its
    // scan below its own thread's priority, so the readers keep the cores busy without taking the
    // window's turn; fewer than DefaultWorkers, since the window's thread needs some of a core.
    static int WindowWorkers();

    ScanCounters& counters() { return counters_; }
    const ScanCounters& counters() const { return counters_; }
    const ScanRows& rows() const { return rows_; }
    // For a caller that writes the rows out as they come (the command line): frees those below index.
    void releaseRows(std::size_t index) { rows_.releaseBefore(index); }
    // For a caller that keeps the rows elsewhere (the window): those from index on, moved out.
    std::vector<std::vector<ScanRow>> moveRowsOut(std::size_t index) { return rows_.moveOut(index); }
    // What the last scan could not read, in walk order.
    const std::vector<ScanSkip>& skipped() const { return skipped_; }

    // Empties the rows and the icon list and zeroes the counters and the cancel flag.
    void reset();
    // Scans folder and everything below it, appending rows; returns when the tree is done or the
    // cancel flag has been seen.
    void ScanFolder(std::string folder);

private:
    class Walk;     // the workers and the folders they have read ahead of the walk
    struct Folder;  // one folder as the workers read it
    struct Entry;   // one directory entry with what the workers found for it

    void walk(Walk& walk, Folder& folder);
    void examineFile(const std::string& folderPath, Entry& entry);
    void skip(std::string path, SysError error);

    FolderSystem& folders_;
    FileSystem& fs_;
    IconList& icons_;
    OperationLog& log_;
    ScanView& view_;
    std::string separator_ = ",";
    int workers_ = DefaultWorkers();
    ScanCounters counters_;
    ScanRows rows_;
    std::vector<ScanSkip> skipped_;
    std::string progress_;  // the last progress text
    std::optional<std::pair<std::int64_t, std::string>> lastModified_;  // a time and its cell text
};

}  // namespace tessaly
