// The folder scan on a tree of 100,000 files of which 5,000 carry 20 streams each (105,000 result
// rows), three ways in one run: the scan engine alone, the whole scan through the window (offscreen,
// list, log and status bar included), and `getfattr -R` listing the same tree's user attributes
// (names only; a further figure has getfattr read the values too, which tells it the sizes that the
// scan reads for every stream). Each warm figure is the median of several runs, taken in turns so
// that the load of the machine falls on all alike; run as root, each is measured once more with the
// file cache dropped before it (cold). Then: the engine with one to eight workers, the engine on a
// tree of 1,000,000 files (1,050,000 rows) with its peak memory, a file 1,500 folders down found
// with the usual limit of 1,024 descriptors, and, where ntfs-3g can mount an image, the engine and
// getfattr on an NTFS volume.
// During the window scan the longest gap between two turns of the event loop is measured with a
// 5 ms timer: the clock and the cancel button can be held up no longer than that.
// The command line's `tessaly scan` of the same tree is timed too, in each of its formats written to
// /dev/null, as a whole process against the engine alone.
//
// Run: QT_QPA_PLATFORM=offscreen bench/scan_bench [--no-cold] [--no-large] [tree folder]
// (--cli-only: just the command line against the engine; --ratio: just the window against the
// engine, with the longest event-loop gap.)
// The trees are made once (marker files record them) and reused by later runs.
// With --favicon, only a small tree holding a 2 GiB sparse file named favicon with a stream is
// scanned through the window: its icon must not hold up the event loop (at most 100 ms).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/services.h"
#include "common/icons.h"
#include "common/oplog.h"
#include "common/qt_log_view.h"
#include "detect/qt_detection.h"
#include "detect/scan.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/linux_folders.h"
#include "support/ntfs_volume.h"
#include "support/window_parts.h"

using namespace tessaly;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int TopFolders = 10, SubFolders = 10, FilesPerFolder = 1000;
constexpr int ParentEvery = 20, StreamsPerParent = 20;

// Wall-clock time depends on what else the machine runs; the processor time of the measured process
// (or of the finished child, for getfattr) is reported beside it.
struct Times {
    double wall = 0, cpu = 0;
};

double processCpu()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double childrenCpu()
{
    rusage ru{};
    ::getrusage(RUSAGE_CHILDREN, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

class Stopwatch {
public:
    explicit Stopwatch(double (*cpu)()) : cpu_(cpu), wall0_(Clock::now()), cpu0_(cpu()) {}
    Times elapsed() const
    {
        return {std::chrono::duration<double>(Clock::now() - wall0_).count(), cpu_() - cpu0_};
    }

private:
    double (*cpu_)();
    Clock::time_point wall0_;
    double cpu0_;
};

Times best(Times a, Times b)
{
    return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)};
}

Times median(std::vector<Times> runs)
{
    std::vector<double> wall, cpu;
    for (const Times& t : runs) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

// Empties the page, dentry and inode caches: the next run reads everything from the disk.
bool dropCaches()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "3\n", 2) == 2;
    ::close(fd);
    return ok;
}

void writeFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
}

// 100 x 100 folders of 100 empty files; every 20th file carries 20 streams of 10 bytes.
void makeLargeTree(const std::string& root)
{
    const std::string marker = root + ".complete";
    if (fs::exists(marker))
        return;
    std::fprintf(stderr, "making the tree of 1,000,000 files in %s ...\n", root.c_str());
    fs::remove_all(root);
    int n = 0;
    for (int t = 0; t < 100; ++t)
        for (int s = 0; s < 100; ++s) {
            const std::string folder = root + "/t" + std::to_string(t) + "/s" + std::to_string(s);
            fs::create_directories(folder);
            for (int f = 0; f < 100; ++f, ++n) {
                const std::string file = folder + "/f" + std::to_string(f) + ".txt";
                writeFile(file);
                if (n % ParentEvery == 0)
                    for (int k = 0; k < StreamsPerParent; ++k)
                        if (::setxattr(file.c_str(), ("user.s" + std::to_string(k)).c_str(), "0123456789", 10, 0) != 0) {
                            std::perror("setxattr");
                            std::exit(1);
                        }
            }
        }
    std::ofstream(marker) << "ok";
}

// 1,500 nested folders "d" with one file with a stream at the bottom.
std::string makeDeepChain(const std::string& root)
{
    std::string path = root;
    fs::create_directories(root);
    for (int i = 0; i < 1500; ++i) {
        path += "/d";
        ::mkdir(path.c_str(), 0755);
    }
    path += "/deep.txt";
    writeFile(path);
    ::setxattr(path.c_str(), "user.s", "1", 1, 0);
    return path;
}

long statusKib(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

void makeTree(const std::string& root)
{
    const std::string marker = root + ".complete";
    if (fs::exists(marker))
        return;
    std::fprintf(stderr, "making the tree in %s ...\n", root.c_str());
    fs::remove_all(root);
    int n = 0;
    for (int t = 0; t < TopFolders; ++t)
        for (int s = 0; s < SubFolders; ++s) {
            const std::string folder = root + "/top" + std::to_string(t) + "/sub" + std::to_string(s);
            fs::create_directories(folder);
            for (int f = 0; f < FilesPerFolder; ++f, ++n) {
                const std::string file = folder + "/file" + std::to_string(f) + (f % 3 ? ".txt" : ".dat");
                std::ofstream(file) << "content of " << file;
                if (n % ParentEvery == 0)
                    for (int k = 0; k < StreamsPerParent; ++k) {
                        const std::string name = "user.stream" + std::to_string(k) + (k % 2 ? ".jpg" : "");
                        if (::setxattr(file.c_str(), name.c_str(), "0123456789", 10, 0) != 0) {
                            std::perror("setxattr");
                            std::exit(1);
                        }
                    }
            }
        }
    std::ofstream(marker) << "ok";
}

class NullSink final : public LogSink {
public:
    void appendLine(const std::string&) override { ++lines; }
    long lines = 0;
};

class CountingIcons final : public IconList {
public:
    void clear() override { n = 0; }
    int count() const override { return n; }
    int addForExtension(const std::string&) override { return n++; }
    std::optional<int> addIconImage(const std::string&, std::function<void()>) override { return n++; }
    int addEmpty() override { return n++; }
    int n = 0;
};

class NullView final : public ScanView {
public:
    void pump() override {}
    void showProgress(const std::string& text) override { last = text; }
    std::string formatModified(const LocalTime& t, bool) override { return std::to_string(t.year); }
    std::string last;
};

Times engineTimes(const std::string& root, ScanCounters& counters, int workers = FolderScan::DefaultWorkers())
{
    LinuxFolderSystem folders;
    LinuxFileSystem files;
    CountingIcons icons;
    NullSink sink;
    OperationLog log(sink);
    NullView view;
    FolderScan scan(folders, files, icons, log, view);
    scan.setWorkers(workers);
    const Stopwatch watch(processCpu);
    scan.ScanFolder(root);
    const Times t = watch.elapsed();
    counters = scan.counters();
    return t;
}

// Names only, as the comparison asks; with values, getfattr learns the sizes that the scan shows.
Times getfattrTimes(const std::string& root, bool values = false)
{
    const std::string command = std::string("getfattr -R ") + (values ? "-d " : "") +
                                "--absolute-names -m '^user\\.' '" + root + "' > /dev/null 2>&1";
    const Stopwatch watch(childrenCpu);
    const int rc = std::system(command.c_str());
    const Times t = watch.elapsed();
    if (rc != 0)
        std::fprintf(stderr, "getfattr failed (%d)\n", rc);
    return t;
}

// The command line as a script starts it: a process of its own, the document thrown away.
Times cliTimes(const std::string& root, const char* format)
{
    // TESSALY_BENCH_CLI names another build of the command to compare with.
    const char* other = std::getenv("TESSALY_BENCH_CLI");
    const std::string command = std::string("'") + (other && *other ? other : TESSALY_CLI) + "' scan '" + root +
                                "' --format " + format + " > /dev/null";
    const Stopwatch watch(childrenCpu);
    const int rc = std::system(command.c_str());
    const Times t = watch.elapsed();
    if (rc != 0)
        std::fprintf(stderr, "tessaly scan failed (%d)\n", rc);
    return t;
}

struct WindowRun {
    Times times;
    double longestGapMs = 0;
    int rows = 0;
    long logLines = 0;
    QString status;
};

WindowRun windowScan(const std::string& root, const std::string& work)
{
    Services services = Services::defaults();
    services.settingsFile = work + "/Tessaly.ini";
    Form1 form(services, {});
    form.show();
    test::PageControl1(form)->setCurrentIndex(1);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    form.setFolderPaneFolder(QString::fromStdString(root));

    WindowRun run;
    QTimer ticker;
    ticker.setInterval(5);
    Clock::time_point lastTick;
    bool ticking = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (ticking)
            run.longestGapMs = std::max(run.longestGapMs, std::chrono::duration<double, std::milli>(now - lastTick).count());
        lastTick = now;
        ticking = true;
    });
    ticker.start();
    QEventLoop scanned;
    QObject::connect(form.findChild<DetectionPage*>(), &DetectionPage::finished, &scanned, &QEventLoop::quit);
    const Stopwatch watch(processCpu);
    lastTick = Clock::now();
    form.FolderPaneDblClick();
    if (form.scanRunning())
        scanned.exec();
    run.times = watch.elapsed();
    run.longestGapMs = std::max(run.longestGapMs, std::chrono::duration<double, std::milli>(Clock::now() - lastTick).count());
    ticker.stop();
    run.rows = test::ListView1(form)->model()->rowCount();
    run.logLines = test::Memo1(form)->lineCount();
    run.status = form.statusText();
    return run;
}

// A few files beside a 2 GiB sparse "favicon" that carries a stream, which makes it a result row
// whose icon the scan asks for.
void makeFaviconTree(const std::string& root)
{
    fs::remove_all(root);
    fs::create_directories(root + "/sub");
    for (int i = 0; i < 50; ++i) {
        const std::string file = root + "/sub/file" + std::to_string(i) + ".txt";
        std::ofstream(file) << "content";
        ::setxattr(file.c_str(), "user.notes", "1", 1, 0);
    }
    const std::string favicon = root + "/favicon";
    std::ofstream(favicon) << "";
    fs::resize_file(favicon, std::uintmax_t(2) << 30);
    if (::setxattr(favicon.c_str(), "user.s", "1", 1, 0) != 0) {
        std::perror("setxattr");
        std::exit(1);
    }
}

// The engine on the tree of 1,000,000 files in a child process of its own, so that its peak memory
// is its own: the resident size before the scan and the highest one during it.
void largeTree(const std::string& root)
{
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        const long before = statusKib("VmRSS:");
        ScanCounters counters;
        std::vector<Times> runs;
        for (int i = 0; i < 2; ++i)
            runs.push_back(engineTimes(root, counters));
        const long peak = statusKib("VmHWM:");
        std::printf("tree of %d files, %d parents, %d streams: engine %.3f s (processor %.3f s, best of 2)\n",
                    counters.FilesExamined, counters.ParentsFound, counters.ChildrenFound, best(runs[0], runs[1]).wall,
                    best(runs[0], runs[1]).cpu);
        std::printf("  peak memory %.1f MiB (%.1f MiB before the scan), %.0f bytes per row\n", double(peak) / 1024,
                    double(before) / 1024,
                    double(peak - before) * 1024 / double(counters.ParentsFound + counters.ChildrenFound));
        std::fflush(stdout);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

void deepChain(const std::string& base)
{
    const std::string deep = makeDeepChain(base + "/deep");
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    rlimit usual = old;
    usual.rlim_cur = std::min<rlim_t>(old.rlim_max, 1024);
    ::setrlimit(RLIMIT_NOFILE, &usual);
    LinuxFolderSystem folders;
    LinuxFileSystem files;
    CountingIcons icons;
    NullSink sink;
    OperationLog log(sink);
    NullView view;
    FolderScan scan(folders, files, icons, log, view);
    scan.ScanFolder(base + "/deep");
    ::setrlimit(RLIMIT_NOFILE, &old);
    const bool found = !scan.rows().empty() && scan.rows().front().caption == deep;
    std::printf("file 1,500 folders down, at most %lu descriptors: %s\n", (unsigned long)usual.rlim_cur,
                found ? "found" : "NOT FOUND");
}

// A volume of its own in an image file: 5,000 files, every 20th with 20 streams. FUSE hands the
// kernel's requests to one ntfs-3g process, which answers them one at a time.
void ntfsVolume(const std::string& base)
{
    const std::string why = test::NtfsVolume::unavailableReason();
    if (!why.empty()) {
        std::printf("NTFS volume: not measured (%s)\n", why.c_str());
        return;
    }
    const std::string folder = base + "/ntfs-" + std::to_string(::getpid());
    fs::create_directories(folder);
    {
        test::NtfsVolume volume(folder);
        std::string error = volume.format(std::uint64_t(256) << 20);
        if (error.empty())
            error = volume.mount("");
        if (!error.empty()) {
            std::printf("NTFS volume: not measured (%s)\n", error.c_str());
            fs::remove_all(folder);
            return;
        }
        const std::string root = volume.path("tree");
        for (int s = 0, n = 0; s < 10; ++s) {
            const std::string sub = root + "/sub" + std::to_string(s);
            fs::create_directories(sub);
            for (int f = 0; f < 500; ++f, ++n) {
                const std::string file = sub + "/f" + std::to_string(f) + ".txt";
                writeFile(file);
                if (n % ParentEvery == 0)
                    for (int k = 0; k < StreamsPerParent; ++k)
                        ::setxattr(file.c_str(), ("user.s" + std::to_string(k)).c_str(), "0123456789", 10, 0);
            }
        }
        ScanCounters counters;
        engineTimes(root, counters);
        std::vector<Times> one, parallel, getfattr;
        for (int i = 0; i < 3; ++i) {
            one.push_back(engineTimes(root, counters, 0));
            parallel.push_back(engineTimes(root, counters));
            getfattr.push_back(getfattrTimes(root));
        }
        std::printf("NTFS volume (ntfs-3g), %d files, %d parents, %d streams, medians of 3:\n", counters.FilesExamined,
                    counters.ParentsFound, counters.ChildrenFound);
        std::printf("  engine on one thread %.3f s, engine with %d workers %.3f s, getfattr -R %.3f s\n",
                    median(one).wall, FolderScan::DefaultWorkers(), median(parallel).wall, median(getfattr).wall);
        volume.unmount();
    }
    fs::remove_all(folder);
}

}  // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // --window-only: just the scan through the window, for profiling it; --engine-only: the engine
    // with different numbers of workers; --ratio: the window against the engine, taken in turns.
    const bool windowOnly = args.removeAll(QStringLiteral("--window-only")) > 0;
    const bool ratioOnly = args.removeAll(QStringLiteral("--ratio")) > 0;
    const bool faviconOnly = args.removeAll(QStringLiteral("--favicon")) > 0;
    const bool engineOnly = args.removeAll(QStringLiteral("--engine-only")) > 0;
    const bool cliOnly = args.removeAll(QStringLiteral("--cli-only")) > 0;
    const bool cold = args.removeAll(QStringLiteral("--no-cold")) == 0;
    const bool large = args.removeAll(QStringLiteral("--no-large")) == 0;
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = !args.isEmpty() ? args.front().toStdString()
                                             : std::string(tmp && *tmp ? tmp : "/tmp") + "/tessaly-scan-bench";
    const std::string root = base + "/tree";
    fs::create_directories(base);
    if (faviconOnly) {
        QApplication app(argc, argv);
        const std::string small = base + "/favicon-tree";
        makeFaviconTree(small);
        const WindowRun window = windowScan(small, base);
        fs::remove_all(small);
        std::printf("scan with a 2 GiB favicon: %.3f s, %d rows, longest gap %.1f ms (limit 100 ms)\n",
                    window.times.wall, window.rows, window.longestGapMs);
        return window.longestGapMs <= 100 ? 0 : 1;
    }
    makeTree(root);
    // Before the window exists, so that the child's memory is the engine's.
    if (large && !windowOnly && !engineOnly && !cliOnly && !ratioOnly) {
        makeLargeTree(base + "/tree1m");
        largeTree(base + "/tree1m");
    }

    QApplication app(argc, argv);
    // Every warm measurement follows an untimed pass.
    ScanCounters counters;
    engineTimes(root, counters);
    if (windowOnly) {
        const WindowRun window = windowScan(root, base);
        std::printf("scan through the window: %.3f s (processor %.3f s), longest gap %.1f ms\n", window.times.wall,
                    window.times.cpu, window.longestGapMs);
        return 0;
    }
    if (ratioOnly) {
        std::vector<Times> engine, window;
        double longestGap = 0;
        std::string gaps;
        for (int i = 0; i < 5; ++i) {
            engine.push_back(engineTimes(root, counters));
            const WindowRun run = windowScan(root, base);
            window.push_back(run.times);
            longestGap = std::max(longestGap, run.longestGapMs);
            char gap[16];
            std::snprintf(gap, sizeof gap, "%s%.1f", gaps.empty() ? "" : ", ", run.longestGapMs);
            gaps += gap;
        }
        const Times e = median(engine), w = median(window);
        std::printf("engine %.3f s (processor %.3f s), window %.3f s (processor %.3f s), medians of 5 in turns: "
                    "window / engine %.2f (at most 1.1), longest event-loop gap %.1f ms (at most 16; per scan %s)\n",
                    e.wall, e.cpu, w.wall, w.cpu, w.wall / e.wall, longestGap, gaps.c_str());
        return w.wall / e.wall <= 1.1 && longestGap <= 16 ? 0 : 1;
    }
    const auto workerCounts = [&] {
        for (int w : {0, 1, 2, 4, 8}) {
            std::vector<Times> runs;
            for (int i = 0; i < 5; ++i)
                runs.push_back(engineTimes(root, counters, w));
            std::printf("engine, %d workers%s: %.3f s (processor %.3f s), median of 5\n", w,
                        w == 0 ? " (all on the calling thread)" : "", median(runs).wall, median(runs).cpu);
        }
    };
    if (engineOnly) {
        workerCounts();
        return 0;
    }
    if (cliOnly) {
        // Taken in turns, so that the load of the machine falls on the engine and the command alike.
        std::vector<Times> engine, text, csv, json;
        for (int i = 0; i < 7; ++i) {
            engine.push_back(engineTimes(root, counters));
            text.push_back(cliTimes(root, "text"));
            csv.push_back(cliTimes(root, "csv"));
            json.push_back(cliTimes(root, "json"));
        }
        const Times e = median(engine);
        std::printf("scan engine alone: %.3f s (processor %.3f s), median of 7\n", e.wall, e.cpu);
        for (const auto& [format, runs] : {std::pair{"text", text}, std::pair{"csv", csv}, std::pair{"json", json}})
            std::printf("tessaly scan --format %-5s %.3f s (processor %.3f s): %.2f of the engine's wall time\n", format,
                        median(runs).wall, median(runs).cpu, median(runs).wall / e.wall);
        return 0;
    }

    std::vector<Times> engine, getfattr, getfattrValues, window;
    double longestGap = 0;
    WindowRun last;
    for (int i = 0; i < 5; ++i) {
        engine.push_back(engineTimes(root, counters));
        getfattr.push_back(getfattrTimes(root));
        getfattrValues.push_back(getfattrTimes(root, true));
        if (i < 3) {
            last = windowScan(root, base);
            window.push_back(last.times);
            longestGap = std::max(longestGap, last.longestGapMs);
        }
    }
    const Times e = median(engine), g = median(getfattr), gv = median(getfattrValues), w = median(window);

    std::printf("tree: %d files, %d parents, %d streams; %d workers, %d for the window\n", counters.FilesExamined,
                counters.ParentsFound, counters.ChildrenFound, FolderScan::DefaultWorkers(), FolderScan::WindowWorkers());
    std::printf("%-38s %10s %12s\n", "warm cache (medians)", "wall s", "processor s");
    std::printf("%-38s %10.3f %12.3f\n", "scan engine alone (5 runs)", e.wall, e.cpu);
    std::printf("%-38s %10.3f %12.3f\n", "scan through the window (3 runs)", w.wall, w.cpu);
    std::printf("%-38s %10.3f %12.3f\n", "getfattr -R (5 runs)", g.wall, g.cpu);
    std::printf("%-38s %10.3f %12.3f\n", "getfattr -R -d, values (5 runs)", gv.wall, gv.cpu);
    std::printf("engine / getfattr: %.2f   window / engine: %.2f\n", e.wall / g.wall, w.wall / e.wall);
    for (const char* format : {"text", "csv", "json"}) {
        std::vector<Times> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(cliTimes(root, format));
        const Times c = median(runs);
        std::printf("tessaly scan --format %-12s %10.3f %12.3f   (%.2f of the engine's wall time)\n", format, c.wall,
                    c.cpu, c.wall / e.wall);
    }
    std::printf("longest gap between event-loop turns during the window scans: %.1f ms\n", longestGap);
    std::printf("window: %d rows, %ld log lines, status \"%s\"\n", last.rows, last.logLines,
                last.status.toUtf8().constData());

    if (!cold) {
        std::printf("cold cache: not measured (--no-cold)\n");
    } else if (!dropCaches()) {
        std::printf("cold cache: not measured (this process may not drop the caches; run as root)\n");
    } else {
        ScanCounters c;
        const Times ce = engineTimes(root, c);
        dropCaches();
        const Times cg = getfattrTimes(root);
        dropCaches();
        const WindowRun cw = windowScan(root, base);
        dropCaches();
        const Times c1 = engineTimes(root, c, 0);
        std::printf("%-38s %10s %12s\n", "cold cache (one run each)", "wall s", "processor s");
        std::printf("%-38s %10.3f %12.3f\n", "scan engine alone", ce.wall, ce.cpu);
        std::printf("%-38s %10.3f %12.3f\n", "scan through the window", cw.times.wall, cw.times.cpu);
        std::printf("%-38s %10.3f %12.3f\n", "getfattr -R", cg.wall, cg.cpu);
        std::printf("%-38s %10.3f %12.3f\n", "scan engine on one thread", c1.wall, c1.cpu);
        std::printf("cold engine / getfattr: %.2f   window / engine: %.2f   longest gap %.1f ms\n", ce.wall / cg.wall,
                    cw.times.wall / ce.wall, cw.longestGapMs);
    }
    workerCounts();
    deepChain(base);
    ntfsVolume(base);
    return 0;
}
