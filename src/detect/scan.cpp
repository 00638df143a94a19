#include "detect/scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "common/icons.h"
#include "common/texts.h"
#include "platform/system.h"
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

ScanOutcome OutcomeOf(const ScanCounters& counters)
{
    if (counters.Cancelled)
        return ScanOutcome::Cancelled;
    return counters.Skipped > 0 ? ScanOutcome::Incomplete : ScanOutcome::Complete;
}

std::string ScanSummary(const ScanCounters& counters, std::string_view groupSeparator)
{
    std::string text = ProgressText(counters, groupSeparator);
    if (counters.Cancelled)
        return text.append(texts::StatusCancelled);
    text.append(counters.ParentsFound > 0 ? texts::StatusDetected : texts::StatusNothingFound);
    if (counters.Skipped > 0) {
        text.append(texts::StatusSkippedBefore);
        AppendGrouped(text, std::uint64_t(counters.Skipped), groupSeparator);
        text.append(texts::StatusSkippedAfter);
    }
    return text;
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
    return LocalTimeAt(secondsSinceEpoch);
}

void FolderScan::reset()
{
    rows_.clear();
    std::vector<ScanSkip>().swap(skipped_);
    icons_.clear();
    counters_ = ScanCounters{};
}

namespace {

// " #,0"
std::string SizeText(std::uint64_t size, std::string_view separator)
{
    std::string text(1, ' ');
    AppendGrouped(text, size, separator);
    return text;
}

}  // namespace

// ---- The walk ahead of the window -------------------------------------------------------------
//
// Work comes in tasks: reading one folder whole (its descriptor is closed as soon as its files have
// been examined, so the number of open folders stays small whatever the depth), and examining a run
// of a read folder's files. Each task has a key, its place in the depth-first walk (a folder's key,
// then the index of the entry); the workers always take the pending task that comes first in the
// walk, and stop taking more once they are far enough ahead of the thread that consumes the entries.
// The entry the walk waits for is always the first pending one, so it is never starved.

struct FolderScan::Entry {
    FolderEntry entry;
    // A file with streams: its parent row and one child row per stream, captions and sizes filled
    // in by the worker; the window thread adds the date, the images and the state.
    std::vector<ScanRow> rows;
    std::optional<std::int64_t> modified;  // the parent's last-write time, when it could be looked up
    std::shared_ptr<Folder> folder;        // a subfolder other than "." and ".."
    std::optional<SysError> error;         // why the file's streams could not be read
};

struct FolderScan::Folder {
    enum class State { Waiting, Listed, Failed, Raised };
    std::string path;  // with its trailing "/"
    std::string name;  // its entry in the parent folder, opened relative to the parent while it is open
    std::weak_ptr<Folder> parent;
    std::vector<std::uint32_t> key;
    // The fields below are written by a worker and published under the walk's lock.
    State state = State::Waiting;
    std::vector<Entry> entries;
    std::vector<char> runDone;  // one flag per run of entries
    std::size_t runsLeft = 0;
    std::shared_ptr<FolderListing> listing;  // open until the last run has been examined
    std::optional<SysError> error;  // why it could not be opened, or could not be read to its end
};

namespace {

// A run of this many entries is one task; the walk on the calling thread alone takes one at a time.
constexpr std::size_t RunLength = 64;
// Entries the workers may have examined ahead of the walk: bounds the memory held for a large tree.
constexpr std::int64_t AheadLimit = 16384;
// The walk hands back what it has consumed in batches, not once per entry.
constexpr std::int64_t ConsumedBatch = 256;
// While the walk waits for the workers, the window turns this often.
constexpr std::chrono::milliseconds IdleInterval{5};

}  // namespace

class FolderScan::Walk {
public:
    Walk(FolderSystem& folders, FileSystem& fs, ScanView& view, std::string separator, int workers)
        : folders_(folders), fs_(fs), view_(view), separator_(std::move(separator)), run_(workers > 0 ? RunLength : 1)
    {
        threads_.reserve(std::size_t(workers));
        for (int i = 0; i < workers; ++i)
            threads_.emplace_back([this] {
                view_.workerStarted();
                work();
            });
    }

    ~Walk()
    {
        stop();
        for (std::thread& t : threads_)
            t.join();
    }

    std::shared_ptr<Folder> root(std::string path)
    {
        auto folder = std::make_shared<Folder>();
        folder->path = std::move(path);
        std::lock_guard lock(mutex_);
        push(Task{folder, NoRun, folder->key});
        work_.notify_one();
        return folder;
    }

    // Waits until folder has been read, or could not be.
    void awaitListing(Folder& folder)
    {
        forget();
        std::unique_lock lock(mutex_);
        while (folder.state == Folder::State::Waiting && !stopped_)
            waitOrHelp(lock);
    }

    // Waits until the entry at index of a read folder has been examined, and counts the entries of
    // its run as consumed. False when the walk has been stopped before that.
    bool awaitEntry(Folder& folder, std::size_t index)
    {
        const std::size_t run = index / run_;
        // The entries of one run are examined together: one look under the lock per run.
        if (&folder == lastFolder_ && run == lastRun_)
            return true;
        std::unique_lock lock(mutex_);
        consumed_ += std::int64_t(std::min(run_, folder.entries.size() - run * run_));
        if (consumed_ >= ConsumedBatch)
            handBack();
        while (!folder.runDone[run] && !stopped_)
            waitOrHelp(lock);
        if (!folder.runDone[run])
            return false;
        lastFolder_ = &folder;
        lastRun_ = run;
        return true;
    }

    // The walk has left a folder: the run found examined last may be freed and its address reused.
    void forget() { lastFolder_ = nullptr; }

    // Ends every task within one entry; nothing is examined any more.
    void stop()
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        stopFlag_.store(true, std::memory_order_relaxed);
        work_.notify_all();
    }

    bool stopped() const { return stopFlag_.load(std::memory_order_relaxed); }

private:
    static constexpr std::size_t NoRun = std::size_t(-1);

    struct Task {
        std::shared_ptr<Folder> folder;
        std::size_t run = NoRun;  // NoRun: read the folder
        std::vector<std::uint32_t> key;
    };
    // Orders the heap of pending tasks: the task that comes first in the walk is on top.
    struct Later {
        bool operator()(const Task& a, const Task& b) const { return a.key > b.key; }
    };

    void push(Task task)
    {
        queue_.push_back(std::move(task));
        std::push_heap(queue_.begin(), queue_.end(), Later());
    }

    Task takeFirst()
    {
        std::pop_heap(queue_.begin(), queue_.end(), Later());
        Task task = std::move(queue_.back());
        queue_.pop_back();
        return task;
    }

    void handBack()
    {
        const bool wasFull = ahead_ >= AheadLimit;
        ahead_ -= consumed_;
        consumed_ = 0;
        if (wasFull && ahead_ < AheadLimit)
            work_.notify_all();
    }

    // With workers, waits for them (telling them that the walk waits); without, runs the task that
    // comes next in the walk, which is the one waited for or one that leads to it.
    void waitOrHelp(std::unique_lock<std::mutex>& lock)
    {
        handBack();
        if (threads_.empty()) {
            if (queue_.empty()) {
                stopped_ = true;  // cannot happen: what is waited for was queued when its folder was read
                return;
            }
            Task task = takeFirst();
            runTask(task, lock);
            return;
        }
        waiting_ = true;
        work_.notify_all();
        const bool timedOut = done_.wait_for(lock, IdleInterval) == std::cv_status::timeout;
        waiting_ = false;
        if (timedOut) {
            lock.unlock();
            view_.idle();
            lock.lock();
        }
    }

    void work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return stopped_ || (!queue_.empty() && (ahead_ < AheadLimit || waiting_)); });
            if (stopped_)
                return;
            Task task = takeFirst();
            runTask(task, lock);
        }
    }

    // Called and returns with lock held; the system calls run without it.
    void runTask(Task& task, std::unique_lock<std::mutex>& lock)
    {
        // A subfolder is opened relative to its parent while the parent is still open.
        std::shared_ptr<FolderListing> parentListing;
        if (task.run == NoRun)
            if (const auto parent = task.folder->parent.lock())
                parentListing = parent->listing;
        lock.unlock();
        if (task.run == NoRun)
            read(task, std::move(parentListing), lock);
        else
            examine(task, lock);
        done_.notify_all();
    }

    void read(Task& task, std::shared_ptr<FolderListing> parentListing, std::unique_lock<std::mutex>& lock)
    {
        Folder& folder = *task.folder;
        std::unique_ptr<FolderListing> listing;
        Folder::State state = Folder::State::Listed;
        std::optional<SysError> error;
        std::vector<Entry> entries;
        try {
            auto opened = parentListing ? folders_.openFolderIn(*parentListing, folder.name, folder.path)
                                        : folders_.openFolder(folder.path);
            // Missing, not readable: the walk goes on and reports the folder as passed over.
            if (!opened) {
                state = Folder::State::Failed;
                error = opened.error();
            } else {
                listing = std::move(opened.value());
            }
        } catch (...) {
            state = Folder::State::Raised;
        }
        parentListing.reset();
        if (listing) {
            FolderEntry entry;
            while (!stopped() && listing->next(entry))
                entries.push_back(Entry{entry, {}, {}, {}, {}});
            error = listing->error();
        }
        std::vector<Task> tasks;
        if (state == Folder::State::Listed) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                Entry& e = entries[i];
                if (e.entry.kind != FolderEntry::Kind::Folder || e.entry.name == "." || e.entry.name == "..")
                    continue;
                auto sub = std::make_shared<Folder>();
                sub->path.reserve(folder.path.size() + e.entry.name.size() + 1);
                sub->path.append(folder.path).append(e.entry.name).push_back('/');
                sub->name = e.entry.name;
                sub->parent = task.folder;
                sub->key = folder.key;
                sub->key.push_back(std::uint32_t(i));
                sub->key.push_back(0);
                e.folder = sub;
                tasks.push_back(Task{sub, NoRun, sub->key});
            }
            const std::size_t runs = (entries.size() + run_ - 1) / run_;
            for (std::size_t r = 0; r < runs; ++r) {
                std::vector<std::uint32_t> key = folder.key;
                key.push_back(std::uint32_t(r * run_));
                tasks.push_back(Task{task.folder, r, std::move(key)});
            }
        }

        lock.lock();
        folder.state = state;
        folder.error = std::move(error);
        folder.entries = std::move(entries);
        folder.runDone.assign(folder.entries.size() / run_ + 1, 0);
        // Nothing is taken before the lock is released, so the count and the listing are in place
        // before the first run starts.
        std::size_t runs = 0;
        for (Task& t : tasks) {
            if (t.run != NoRun)
                ++runs;
            push(std::move(t));
        }
        folder.runsLeft = runs;
        if (runs > 0)
            folder.listing = std::move(listing);
        work_.notify_all();
        // A folder with no entries has its listing closed here, outside the lock.
        lock.unlock();
        listing.reset();
        lock.lock();
    }

    // The rows of a file with streams as far as they can be made away from the window thread.
    void prepareRows(Entry& e, const std::string& path, const std::vector<StreamInfo>& streams,
                     const std::optional<FileFacts>& facts)
    {
        e.rows.reserve(streams.size() + 1);
        ScanRow parent;
        parent.caption = path;
        // The file may have gone since it was listed: its cells stay empty rather than show made-up values.
        if (e.entry.size || facts) {
            parent.bytes = e.entry.size ? *e.entry.size : facts->size;
            parent.size = SizeText(parent.bytes, separator_);
        }
        if (facts) {
            e.modified = facts->modified;
            parent.modifiedTime = facts->modified;
        }
        parent.state = 0;
        e.rows.push_back(std::move(parent));
        for (const StreamInfo& stream : streams) {
            // The entry's text, as the stream listing gives it: the path as examined, ":" and the name.
            std::string caption;
            caption.reserve(path.size() + 1 + stream.name.size());
            caption.append(path).append(1, ':').append(stream.name);
            e.rows.push_back(ScanRow{std::move(caption), SizeText(stream.size, separator_), {}, -1, -1, stream.size, {}});
        }
    }

    void examine(Task& task, std::unique_lock<std::mutex>& lock)
    {
        Folder& folder = *task.folder;
        // Stable once the folder is read: the vector is never resized, and each run has its own entries.
        const std::size_t begin = task.run * run_;
        const std::size_t end = std::min(begin + run_, folder.entries.size());
        FolderListing& listing = *folder.listing;
        std::string path = folder.path;
        for (std::size_t i = begin; i < end && !stopped(); ++i) {
            Entry& e = folder.entries[i];
            if (e.entry.kind != FolderEntry::Kind::File)
                continue;
            path.resize(folder.path.size());
            path.append(e.entry.name);
            // A file whose streams cannot be read has no rows; the walk reports it as passed over.
            try {
                auto streams = fs_.readStreamsIn(listing, e.entry.name, path);
                if (!streams.ok())
                    e.error = streams.error();
                else if (!streams.value().empty())
                    prepareRows(e, path, streams.value(), folders_.lookupIn(listing, e.entry.name, path));
            } catch (...) {
                e.rows.clear();
            }
        }
        std::shared_ptr<FolderListing> last;
        lock.lock();
        folder.runDone[task.run] = 1;
        ahead_ += std::int64_t(end - begin);
        if (--folder.runsLeft == 0)
            last = std::move(folder.listing);
        lock.unlock();
        last.reset();
        lock.lock();
    }

    FolderSystem& folders_;
    FileSystem& fs_;
    ScanView& view_;
    const std::string separator_;
    const std::size_t run_;
    std::mutex mutex_;
    std::condition_variable work_;  // tasks to take, or stop
    std::condition_variable done_;  // a task finished
    std::vector<Task> queue_;  // a heap with the task that comes first in the walk on top
    std::int64_t ahead_ = 0;     // entries examined and not yet handed back by the walk
    std::int64_t consumed_ = 0;  // consumed since the last hand-back
    const Folder* lastFolder_ = nullptr;  // walk thread only: the run that was last found examined
    std::size_t lastRun_ = 0;
    bool waiting_ = false;       // the walk waits for a task
    bool stopped_ = false;
    std::atomic<bool> stopFlag_{false};  // read by the workers between entries without the lock
    std::vector<std::thread> threads_;
};

int FolderScan::DefaultWorkers()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(2 * cores, 2u, 8u));
}

int FolderScan::WindowWorkers()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores + 1, 2u, 8u));
}

void FolderScan::ScanFolder(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');
    lastModified_.reset();
    Walk w(folders_, fs_, view_, separator_, workers_);
    const std::shared_ptr<Folder> root = w.root(std::move(folder));
    walk(w, *root);
}

void FolderScan::walk(Walk& w, Folder& folder)
{
    w.awaitListing(folder);
    if (folder.state == Folder::State::Raised) {
        log_.AppendLogLine(texts::LibraryNotSupported, folder.path);
        return;
    }
    if (folder.state != Folder::State::Listed) {
        if (folder.error)
            skip(folder.path, *folder.error);
        return;
    }

    view_.showFolder(folder.path);
    for (std::size_t i = 0; i < folder.entries.size(); ++i) {
        view_.pump();
        if (counters_.CancelRequested || w.stopped()) {
            // The workers stop too, within the entry each is looking at.
            w.stop();
            counters_.Cancelled = true;
            return;
        }
        if (!w.awaitEntry(folder, i)) {
            counters_.Cancelled = true;
            return;
        }
        Entry& entry = folder.entries[i];
        switch (entry.entry.kind) {
        case FolderEntry::Kind::Folder:
            if (!entry.folder)  // "." and ".."
                continue;
            walk(w, *entry.folder);
            view_.showFolder(folder.path);
            // What the subfolder held is no longer needed.
            w.forget();
            entry.folder.reset();
            break;
        case FolderEntry::Kind::FolderLink:
            // Not followed: a link to an ancestor would make the walk endless.
            continue;
        case FolderEntry::Kind::File:
            examineFile(folder.path, entry);
            break;
        }
        WriteProgress(progress_, counters_, separator_);
        view_.showProgress(progress_);
        view_.pump();
    }
    // A listing cut short by a read error: what was read has been walked, the rest is missing.
    if (folder.error)
        skip(folder.path, *folder.error);
}

void FolderScan::skip(std::string path, SysError error)
{
    ++counters_.Skipped;
    log_.AppendLogLine(texts::UnreadableSkipped, path + " (" + error.message + ")");
    skipped_.push_back(ScanSkip{std::move(path), std::move(error)});
}

void FolderScan::examineFile(const std::string& folderPath, Entry& e)
{
    if (e.error) {
        skip(folderPath + e.entry.name, std::move(*e.error));
        return;
    }
    ++counters_.FilesExamined;
    if (e.rows.empty())
        return;

    ++counters_.ParentsFound;
    ScanRow& parent = e.rows.front();
    if (e.modified) {
        // Files written together share their times, and the zone and the window's date format take
        // their time: the last cell text is kept for the same time.
        if (!lastModified_ || lastModified_->first != *e.modified) {
            const auto local = ToLocalTime(*e.modified);
            lastModified_.emplace(*e.modified, local ? ModifiedCellText(*local, view_) : std::string());
        }
        parent.modified = lastModified_->second;
    }
    parent.image = int(rows_.size());
    rows_.push_back(std::move(parent));
    const std::string& path = rows_.back().caption;
    AddFileIcon(fs_, icons_, log_, path);
    log_.AppendLogLine(texts::ParentDetected, path);

    for (std::size_t i = 1; i < e.rows.size(); ++i) {
        ++counters_.ChildrenFound;
        ScanRow& child = e.rows[i];
        child.image = int(rows_.size());
        rows_.push_back(std::move(child));
        const std::string& text = rows_.back().caption;
        AddFileIcon(fs_, icons_, log_, text);
        log_.AppendLogLine(texts::ChildDetected, text);
    }
    std::vector<ScanRow>().swap(e.rows);
}

}  // namespace tessaly
