#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <chrono>
#include <condition_variable>
#include <tuple>

#include "common/oplog.h"
#include "detect/scan.h"
#include "platform/system.h"
#include "support/fake_filesystem.h"

using namespace tessaly;
using Lines = std::vector<std::string>;
using Kind = FolderEntry::Kind;

namespace {

// Folders as lists of entries in a fixed order; lookups answered from a table. The scan's workers
// call it from several threads.
class FakeFolders final : public FolderSystem {
public:
    std::map<std::string, std::vector<FolderEntry>> folders;  // keyed with a trailing "/"
    std::map<std::string, FileFacts> facts;
    std::string throwOn;  // a folder whose listing raises instead of failing
    std::mutex mutex;
    Lines opened;  // in the order the workers opened them

    Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) override
    {
        {
            std::lock_guard lock(mutex);
            opened.push_back(folder);
        }
        if (folder == throwOn)
            throw std::runtime_error("listing not available");
        auto it = folders.find(folder);
        if (it == folders.end())
            return SysError{2, "No such file or directory"};
        return std::unique_ptr<FolderListing>(std::make_unique<Listing>(it->second));
    }
    std::optional<FileFacts> lookup(const std::string& path) override
    {
        auto it = facts.find(path);
        return it == facts.end() ? std::nullopt : std::optional<FileFacts>(it->second);
    }

private:
    struct Listing final : FolderListing {
        explicit Listing(std::vector<FolderEntry> e) : entries(std::move(e)) {}
        bool next(FolderEntry& entry) override
        {
            if (at >= entries.size())
                return false;
            entry = entries[at++];
            return true;
        }
        std::vector<FolderEntry> entries;
        std::size_t at = 0;
    };
};

// Records what the scan shows, in order; onPump lets a test act from inside the pump as a click would.
class RecordingView final : public ScanView {
public:
    void pump() override
    {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void showProgress(const std::string& text) override { progress.push_back(text); }
    std::string formatModified(const LocalTime& t, bool withTime) override
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", t.year, t.month, t.day);
        std::string out = buf;
        if (withTime) {
            std::snprintf(buf, sizeof buf, " %d:%02d:%02d", t.hour, t.minute, t.second);
            out += buf;
        }
        return out;
    }
    void idle() override
    {
        ++idles;
        if (onIdle)
            onIdle(idles);
    }
    int pumps = 0, idles = 0;
    Lines progress;
    std::function<void(int)> onPump, onIdle;
};

FolderEntry file(std::string name, std::optional<std::uint64_t> size = std::nullopt)
{
    return {std::move(name), Kind::File, size};
}
FolderEntry folder(std::string name)
{
    return {std::move(name), Kind::Folder, std::nullopt};
}

std::int64_t utcSeconds(int y, int mo, int d, int h, int mi, int s)
{
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return std::int64_t(::timegm(&tm));
}

}  // namespace

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }

    Lines captions() const
    {
        Lines out;
        for (const auto& r : scan.rows())
            out.push_back(r.caption);
        return out;
    }

    FakeFolders folders;
    test::FakeFileSystem fs;
    test::FakeIconList icons;
    test::RecordingSink sink;
    OperationLog log{sink};
    RecordingView view;
    FolderScan scan{folders, fs, icons, log, view};
};

TEST_F(ScanTest, RowsLogAndProgressFollowTheListingDepthFirst)
{
    // /d/: a.txt (2 streams), sub/ (x.bin with 1 stream, plain), z.txt (1 stream); files and folders mixed.
    folders.folders["/d/"] = {folder("."), folder(".."), file("a.txt", 1234567), folder("sub"), file("plain"),
                              file("z.txt")};
    folders.folders["/d/sub/"] = {folder("."), folder(".."), file("x.bin"), file("none")};
    fs.add("/d/a.txt");
    fs.addStream("/d/a.txt", "b", "12345");
    fs.addStream("/d/a.txt", "a", "");
    fs.add("/d/sub/x.bin");
    fs.addStream("/d/sub/x.bin", "favicon", "not an icon");
    fs.add("/d/z.txt");
    fs.addStream("/d/z.txt", "s", std::string(1000, 'x'));
    folders.facts["/d/a.txt"] = {99, utcSeconds(2011, 3, 5, 9, 41, 7)};
    folders.facts["/d/sub/x.bin"] = {5, utcSeconds(2020, 1, 2, 0, 0, 1)};
    folders.facts["/d/z.txt"] = {7, utcSeconds(2021, 12, 31, 23, 59, 59)};

    scan.ScanFolder("/d");

    EXPECT_EQ(captions(), (Lines{"/d/a.txt", "/d/a.txt:b", "/d/a.txt:a", "/d/sub/x.bin", "/d/sub/x.bin:favicon",
                                 "/d/z.txt", "/d/z.txt:s"}));
    const auto& rows = scan.rows();
    // The listed size wins over the lookup; the lookup's size serves when the listing has none.
    EXPECT_EQ(rows[0].size, " 1,234,567");
    EXPECT_EQ(rows[1].size, " 5");
    EXPECT_EQ(rows[2].size, " 0");  // a zero-length stream
    EXPECT_EQ(rows[5].size, " 7");
    EXPECT_EQ(rows[6].size, " 1,000");
    // Seconds rounded down to even; the time left out when that makes it midnight.
    EXPECT_EQ(rows[0].modified, "2011/03/05 9:41:06");
    EXPECT_EQ(rows[3].modified, "2020/01/02");
    EXPECT_EQ(rows[5].modified, "2021/12/31 23:59:58");
    for (int i = 0; i < int(rows.size()); ++i) {
        EXPECT_EQ(rows[std::size_t(i)].image, i);
        EXPECT_EQ(rows[std::size_t(i)].state, rows[std::size_t(i)].caption.find(':') == std::string::npos ? 0 : -1);
        if (rows[std::size_t(i)].state == -1) {
            EXPECT_EQ(rows[std::size_t(i)].modified, "");
        }
    }
    EXPECT_EQ(icons.count(), int(rows.size()));

    // A parent's line comes before its children's; an icon error of a row comes with that row.
    EXPECT_EQ(sink.bodies(), (Lines{"親ファイル検出 /d/a.txt", "子ファイル検出 /d/a.txt:b", "子ファイル検出 /d/a.txt:a",
                                    "親ファイル検出 /d/sub/x.bin", "アイコンイメージエラー /d/sub/x.bin:favicon",
                                    "子ファイル検出 /d/sub/x.bin:favicon", "親ファイル検出 /d/z.txt",
                                    "子ファイル検出 /d/z.txt:s"}));

    // Progress after every file and after the whole subfolder, never after "." or "..".
    EXPECT_EQ(view.progress, (Lines{"1:2 / 1", "2:3 / 2", "2:3 / 3", "2:3 / 3", "2:3 / 4", "3:4 / 5"}));
    const ScanCounters& c = scan.counters();
    EXPECT_EQ(c.FilesExamined, 5);
    EXPECT_EQ(c.ParentsFound, 3);
    EXPECT_EQ(c.ChildrenFound, 4);
    // Two rounds of event handling per looked-at entry, one per skipped "." or "..".
    EXPECT_EQ(view.pumps, 2 * 6 + 4);
    EXPECT_EQ(folders.opened, (Lines{"/d/", "/d/sub/"}));
}

TEST_F(ScanTest, FoldersThatCannotBeListedAreReportedAndTheWalkGoesOn)
{
    folders.folders["/d/"] = {folder("."), folder(".."), folder("gone"), folder("odd"), folder("ok")};
    folders.folders["/d/ok/"] = {file("f")};
    folders.throwOn = "/d/odd/";
    fs.add("/d/ok/f");
    fs.addStream("/d/ok/f", "s", "1");

    scan.ScanFolder("/d/");

    EXPECT_EQ(captions(), (Lines{"/d/ok/f", "/d/ok/f:s"}));
    EXPECT_EQ(sink.bodies(), (Lines{"読込み不可で除外 /d/gone/ (No such file or directory)", "ライブラリ未サポート /d/odd/",
                                    "親ファイル検出 /d/ok/f", "子ファイル検出 /d/ok/f:s"}));
    ASSERT_EQ(scan.skipped().size(), 1u);
    EXPECT_EQ(scan.skipped()[0].path, "/d/gone/");
    EXPECT_EQ(OutcomeOf(scan.counters()), ScanOutcome::Incomplete);
    EXPECT_EQ(ScanSummary(scan.counters(), ","), "1:1 / 1 検出しました (読めない項目 1 件: 不完全な結果です)");
    // A parent whose lookup fails keeps empty size and date cells.
    EXPECT_EQ(scan.rows()[0].size, "");
    EXPECT_EQ(scan.rows()[0].modified, "");

    // A folder with nothing but "." and ".." writes no progress; a missing start folder no progress
    // either, but it is reported.
    scan.reset();
    view.progress.clear();
    folders.folders["/empty/"] = {folder("."), folder("..")};
    scan.ScanFolder("/empty");
    EXPECT_EQ(ScanSummary(scan.counters(), ","), "0:0 / 0 該当ありません");
    scan.ScanFolder("/nowhere");
    EXPECT_TRUE(view.progress.empty());
    EXPECT_TRUE(scan.rows().empty());
    EXPECT_EQ(scan.skipped().size(), 1u);
}

TEST_F(ScanTest, LinksToFoldersAreNeitherDescendedNorExamined)
{
    folders.folders["/d/"] = {{"up", Kind::FolderLink, std::nullopt}, file("f")};
    folders.folders["/d/up/"] = {file("f")};
    fs.add("/d/f");
    fs.addStream("/d/f", "s", "1");
    fs.add("/d/up/f");
    fs.addStream("/d/up/f", "s", "1");

    scan.ScanFolder("/d/");

    EXPECT_EQ(captions(), (Lines{"/d/f", "/d/f:s"}));
    EXPECT_EQ(scan.counters().FilesExamined, 1);
    EXPECT_EQ(folders.opened, (Lines{"/d/"}));
}

TEST_F(ScanTest, CancelStopsWithinOneEntryPerLevelAndKeepsWhatWasFound)
{
    // /t/ -> a/ -> b/ -> c/, each level: a file with a stream, the next folder, then more files.
    std::string path = "/t/";
    for (const char* level : {"a", "b", "c", ""}) {
        auto& entries = folders.folders[path];
        entries = {file("p")};
        fs.add(path + "p");
        fs.addStream(path + "p", "s", "1");
        if (*level)
            entries.push_back(folder(level));
        for (int i = 0; i < 3; ++i)
            entries.push_back(file("late" + std::to_string(i)));
        if (*level)
            path += std::string(level) + "/";
    }
    // The click reaches the scan while it looks at the deepest folder's first plain file.
    view.onPump = [&](int) {
        if (scan.counters().ParentsFound == 4 && !scan.counters().CancelRequested)
            scan.counters().CancelRequested = true;
    };

    scan.ScanFolder("/t/");

    EXPECT_EQ(captions(), (Lines{"/t/p", "/t/p:s", "/t/a/p", "/t/a/p:s", "/t/a/b/p", "/t/a/b/p:s", "/t/a/b/c/p",
                                 "/t/a/b/c/p:s"}));
    const ScanCounters& c = scan.counters();
    EXPECT_EQ(c.FilesExamined, 4);  // no "late" file at any level
    EXPECT_EQ(c.ParentsFound, 4);
    EXPECT_EQ(c.ChildrenFound, 4);
    EXPECT_EQ(ProgressText(c, ","), "4:4 / 4");
    EXPECT_EQ(OutcomeOf(c), ScanOutcome::Cancelled);
    EXPECT_EQ(ScanSummary(c, ","), "4:4 / 4 中断しました (途中までの結果です)");
    // Each level above the deepest still shows progress for its finished subfolder.
    EXPECT_EQ(view.progress.back(), "4:4 / 4");
    EXPECT_EQ(view.progress.size(), 4u + 3u);
}

TEST_F(ScanTest, ResetEmptiesRowsIconsAndCounters)
{
    folders.folders["/d/"] = {file("f")};
    fs.add("/d/f");
    fs.addStream("/d/f", "s", "1");
    scan.ScanFolder("/d/");
    scan.counters().CancelRequested = true;
    scan.reset();
    EXPECT_TRUE(scan.rows().empty());
    EXPECT_EQ(icons.count(), 0);
    EXPECT_EQ(scan.counters().FilesExamined, 0);
    EXPECT_EQ(scan.counters().ParentsFound, 0);
    EXPECT_EQ(scan.counters().ChildrenFound, 0);
    EXPECT_FALSE(scan.counters().CancelRequested);
    // Large counts are grouped in every part of the progress text.
    ScanCounters big{1234567, 1000, 22222, false};
    EXPECT_EQ(ProgressText(big, "."), "1.000:22.222 / 1.234.567");
}

namespace {

// Everything a scan shows, in the order it showed it.
struct Observed {
    std::vector<std::tuple<std::string, std::string, std::string, int, int>> rows;
    Lines log, progress;
    int pumps = 0, files = 0, parents = 0, children = 0;
    bool operator==(const Observed&) const = default;
};

// A random tree: files with and without streams (some vanish before their lookup), subfolders,
// links to folders, folders that cannot be listed or whose listing raises, "." and "..".
void MakeRandomTree(unsigned seed, FakeFolders& folders, test::FakeFileSystem& fs)
{
    std::srand(seed);
    std::vector<std::pair<std::string, int>> pending{{"/r/", 0}};
    int n = 0;
    while (!pending.empty()) {
        auto [path, depth] = pending.back();
        pending.pop_back();
        auto& entries = folders.folders[path];
        entries = {folder("."), folder("..")};
        const int count = (depth == 0 ? 20 : 0) + std::rand() % 40;
        for (int i = 0; i < count; ++i, ++n) {
            const std::string name = "e" + std::to_string(n);
            const int kind = std::rand() % 10;
            if (kind < 2 && depth < 3) {
                entries.push_back(folder(name));
                pending.push_back({path + name + "/", depth + 1});
            } else if (kind == 2) {
                entries.push_back(folder(name));  // cannot be listed
                if (std::rand() % 2)
                    folders.throwOn = path + name + "/";
            } else if (kind == 3) {
                entries.push_back({name, Kind::FolderLink, std::nullopt});
            } else {
                entries.push_back(file(name, std::rand() % 3 ? std::optional<std::uint64_t>() : std::rand()));
                fs.add(path + name);
                for (int s = std::rand() % 6 - 3; s > 0; --s)
                    fs.addStream(path + name, "s" + std::to_string(s), std::string(std::size_t(std::rand() % 5), 'x'));
                if (std::rand() % 4)
                    folders.facts[path + name] = {std::uint64_t(std::rand()), std::rand() % 2000000000};
            }
        }
    }
}

}  // namespace

// Whatever the number of workers, the scan shows what a walk on one thread shows, also when it is
// cancelled at any turn of the message pump.
TEST_F(ScanTest, WorkersChangeNothingThatTheWindowSeesAlsoWhenCancelled)
{
    for (unsigned seed = 1; seed <= 8; ++seed) {
        FakeFolders tree;
        test::FakeFileSystem files;
        MakeRandomTree(seed, tree, files);
        const auto run = [&](int workers, int cancelAt) {
            test::FakeIconList icons2;
            test::RecordingSink sink2;
            OperationLog log2{sink2};
            RecordingView view2;
            FolderScan s{tree, files, icons2, log2, view2};
            s.setWorkers(workers);
            view2.onPump = [&](int pumps) {
                if (pumps == cancelAt)
                    s.counters().CancelRequested = true;
            };
            s.ScanFolder("/r");
            Observed o;
            for (const ScanRow& r : s.rows())
                o.rows.emplace_back(r.caption, r.size, r.modified, r.image, r.state);
            o.log = sink2.bodies();
            o.progress = view2.progress;
            o.pumps = view2.pumps;
            o.files = s.counters().FilesExamined;
            o.parents = s.counters().ParentsFound;
            o.children = s.counters().ChildrenFound;
            return o;
        };
        const Observed whole = run(0, -1);
        ASSERT_GT(whole.parents, 0) << "seed " << seed;
        for (int workers : {1, 3, 8})
            EXPECT_EQ(run(workers, -1), whole) << "seed " << seed << ", " << workers << " workers";
        for (int k = 0; k < 3; ++k) {
            const int cancelAt = 1 + std::rand() % whole.pumps;
            const Observed cancelled = run(0, cancelAt);
            EXPECT_LE(cancelled.files, whole.files);
            EXPECT_EQ(run(2, cancelAt), cancelled) << "seed " << seed << ", cancelled at pump " << cancelAt;
        }
    }
}

// A folder that takes long to read (a slow disk) must not hold up the window: it turns while the
// walk waits, and the walk's own pumps stay as they were. The slow folder opens only after the
// window has turned a few times, however fast the machine is.
TEST_F(ScanTest, TheWindowTurnsWhileTheWalkWaitsForASlowFolder)
{
    struct Latch {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    } latch;
    class SlowFolders final : public FolderSystem {
    public:
        SlowFolders(FolderSystem& inner, Latch& latch) : inner_(inner), latch_(latch) {}
        Expected<std::unique_ptr<FolderListing>> openFolder(const std::string& folder) override
        {
            if (folder == "/d/slow/") {
                std::unique_lock lock(latch_.mutex);
                waitedInVain = !latch_.opened.wait_for(lock, std::chrono::minutes(1), [this] { return latch_.open; });
            }
            return inner_.openFolder(folder);
        }
        std::optional<FileFacts> lookup(const std::string& path) override { return inner_.lookup(path); }
        bool waitedInVain = false;

    private:
        FolderSystem& inner_;
        Latch& latch_;
    };
    folders.folders["/d/"] = {folder("slow")};
    folders.folders["/d/slow/"] = {file("f")};
    fs.add("/d/slow/f");
    fs.addStream("/d/slow/f", "s", "1");
    SlowFolders slow(folders, latch);
    view.onIdle = [&](int idles) {
        if (idles == 5) {
            const std::lock_guard lock(latch.mutex);
            latch.open = true;
            latch.opened.notify_all();
        }
    };
    FolderScan s{slow, fs, icons, log, view};
    s.setWorkers(2);

    s.ScanFolder("/d/");

    EXPECT_FALSE(slow.waitedInVain) << "the window did not turn while the walk waited";
    ASSERT_EQ(s.rows().size(), 2u);
    EXPECT_EQ(view.pumps, 2 * 2);
}

// Rows handed on to another list in blocks, taken at block ends, inside blocks and one by one:
// every row arrives once, in order, and the scan's list goes on growing after each take.
TEST(ScanRowsTest, RowsTakenInBlocksArriveWholeAndInOrder)
{
    const std::size_t block = ScanRows::BlockRows;
    const std::vector<std::vector<std::size_t>> takes = {
        {block, 2 * block, 3 * block},           // whole blocks
        {block - 3, block + 5, 3 * block - 1},   // across block ends
        {1, 2, 3, 4, block, block, 2 * block},   // single rows, and nothing new
        {},                                      // everything at the end
    };
    for (const auto& points : takes) {
        ScanRows scanned, shown;
        std::size_t taken = 0;
        const auto take = [&] {
            for (auto& rows : scanned.moveOut(taken))
                shown.append(std::move(rows));
            taken = scanned.size();
        };
        std::size_t next = 0;
        for (std::size_t i = 0; i < 3 * block + 7; ++i) {
            scanned.push_back(ScanRow{"r" + std::to_string(i)});
            for (; next < points.size() && scanned.size() == points[next]; ++next)
                take();
        }
        take();
        ASSERT_EQ(shown.size(), scanned.size());
        std::size_t i = 0;
        for (const ScanRow& row : shown)
            ASSERT_EQ(row.caption, "r" + std::to_string(i++));
        EXPECT_EQ(shown[block + 2].caption, "r" + std::to_string(block + 2));
        EXPECT_EQ(shown.back().caption, "r" + std::to_string(3 * block + 6));
    }
}
