// The folder scan on a tree of 100,000 files of which 5,000 carry 20 streams each (105,000 result
// rows), three ways in one run: the scan engine alone, the whole scan through the window (offscreen,
// list, log and status bar included), and `getfattr -R` listing the same tree's user attributes
// (names only; a fourth figure has getfattr read the values too, which tells it the sizes that the
// scan reads for every stream).
// During the window scan the longest gap between two turns of the event loop is measured with a
// 5 ms timer: the clock and the cancel button can be held up no longer than that.
// The command line's `tessaly scan` of the same tree is timed too, in each of its formats written to
// /dev/null, as a whole process against the engine alone.
//
// Run: QT_QPA_PLATFORM=offscreen bench/scan_bench [tree folder]
// The tree is made once (a marker file records it) and reused by later runs.
// With --favicon, only a small tree holding a 2 GiB sparse file named favicon with a stream is
// scanned through the window: its icon must not hold up the event loop (at most 100 ms).

#include <sys/resource.h>
#include <sys/xattr.h>
#include <time.h>

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
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/oplog.h"
#include "app/services.h"
#include "detect/qt_detection.h"
#include "detect/scan.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/linux_folders.h"
#include "streams/icons.h"

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
    std::optional<int> addIconImage(const std::string&) override { return n++; }
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

Times engineTimes(const std::string& root, ScanCounters& counters)
{
    LinuxFolderSystem folders;
    LinuxFileSystem files;
    CountingIcons icons;
    NullSink sink;
    OperationLog log(sink);
    NullView view;
    FolderScan scan(folders, files, icons, log, view);
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
    const std::string command = std::string("'") + TESSALY_CLI + "' scan '" + root + "' --format " + format + " > /dev/null";
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
    form.PageControl1->setCurrentIndex(1);
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
    const Stopwatch watch(processCpu);
    lastTick = Clock::now();
    form.FolderPaneDblClick();
    run.times = watch.elapsed();
    run.longestGapMs = std::max(run.longestGapMs, std::chrono::duration<double, std::milli>(Clock::now() - lastTick).count());
    ticker.stop();
    run.rows = form.ListView1->model()->rowCount();
    run.logLines = form.Memo1->document()->blockCount();
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

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const char* tmp = std::getenv("TMPDIR");
    QStringList args = QCoreApplication::arguments().mid(1);
    // --window-only: just the scan through the window, for profiling it.
    const bool windowOnly = args.removeAll(QStringLiteral("--window-only")) > 0;
    const bool faviconOnly = args.removeAll(QStringLiteral("--favicon")) > 0;
    const std::string base = !args.isEmpty() ? args.front().toStdString()
                                             : std::string(tmp && *tmp ? tmp : "/tmp") + "/tessaly-scan-bench";
    const std::string root = base + "/tree";
    fs::create_directories(base);
    if (faviconOnly) {
        const std::string small = base + "/favicon-tree";
        makeFaviconTree(small);
        const WindowRun window = windowScan(small, base);
        fs::remove_all(small);
        std::printf("scan with a 2 GiB favicon: %.3f s, %d rows, longest gap %.1f ms (limit 100 ms)\n",
                    window.times.wall, window.rows, window.longestGapMs);
        return window.longestGapMs <= 100 ? 0 : 1;
    }
    makeTree(root);

    // Every measurement runs on a warm cache: one untimed pass first.
    ScanCounters counters;
    engineTimes(root, counters);
    if (windowOnly) {
        const WindowRun window = windowScan(root, base);
        std::printf("scan through the window: %.3f s (processor %.3f s), longest gap %.1f ms\n", window.times.wall,
                    window.times.cpu, window.longestGapMs);
        return 0;
    }
    Times engine{1e9, 1e9}, getfattr{1e9, 1e9}, getfattrValues{1e9, 1e9};
    const char* formats[] = {"text", "csv", "json"};
    Times cli[3] = {{1e9, 1e9}, {1e9, 1e9}, {1e9, 1e9}};
    for (int i = 0; i < 3; ++i) {
        engine = best(engine, engineTimes(root, counters));
        for (int f = 0; f < 3; ++f)
            cli[f] = best(cli[f], cliTimes(root, formats[f]));
        getfattr = best(getfattr, getfattrTimes(root));
        getfattrValues = best(getfattrValues, getfattrTimes(root, true));
    }
    const WindowRun window = windowScan(root, base);

    std::printf("tree: %d files, %d parents, %d streams\n", counters.FilesExamined, counters.ParentsFound,
                counters.ChildrenFound);
    std::printf("%-34s %10s %12s\n", "", "wall s", "processor s");
    std::printf("%-34s %10.3f %12.3f\n", "scan engine alone (best of 3)", engine.wall, engine.cpu);
    std::printf("%-34s %10.3f %12.3f\n", "scan through the window", window.times.wall, window.times.cpu);
    for (int f = 0; f < 3; ++f)
        std::printf("tessaly scan --format %-12s %10.3f %12.3f   (%.2f of the engine's wall time)\n", formats[f],
                    cli[f].wall, cli[f].cpu, cli[f].wall / engine.wall);
    std::printf("%-34s %10.3f %12.3f\n", "getfattr -R (best of 3)", getfattr.wall, getfattr.cpu);
    std::printf("%-34s %10.3f %12.3f\n", "getfattr -R -d, values (best of 3)", getfattrValues.wall, getfattrValues.cpu);
    std::printf("engine / getfattr: %.2f (processor %.2f)   window / engine: %.2f (processor %.2f)\n",
                engine.wall / getfattr.wall, engine.cpu / getfattr.cpu, window.times.wall / engine.wall,
                window.times.cpu / engine.cpu);
    std::printf("longest gap between event-loop turns during the window scan: %.1f ms\n", window.longestGapMs);
    std::printf("window: %d rows, %ld log lines, status \"%s\"\n", window.rows, window.logLines,
                window.status.toUtf8().constData());
    return 0;
}
