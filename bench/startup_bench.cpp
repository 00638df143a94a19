// Start-up to a shown window: the main window created (its start-up steps included), shown, and
// painted for the first time, on the offscreen platform. Measured twice: once as the very first
// window of a fresh process (fonts, styles and icon themes are loaded then), printed before the
// benchmarks, and then repeatedly, as google-benchmark cases, without and with a parent file of
// three streams on the command line.
//
// Run: QT_QPA_PLATFORM=offscreen bench/startup_bench

#include <benchmark/benchmark.h>

#include <sys/xattr.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QStandardPaths>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/services.h"

using namespace tessaly;

namespace {

std::string folder;

// Notes the first paint of the window.
class PaintWatcher final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Creates, shows and paints one window; returns it so that destroying it is not timed.
std::unique_ptr<Form1> startWindow(const QStringList& arguments)
{
    Services services = Services::defaults();
    services.settingsFile = folder + "/Tessaly.ini";
    auto form = std::make_unique<Form1>(services, arguments);
    PaintWatcher watcher;
    form->installEventFilter(&watcher);
    form->show();
    while (!watcher.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    form->removeEventFilter(&watcher);
    return form;
}

std::string parentWithStreams()
{
    const std::string path = folder + "/報告書 2026.txt";
    std::ofstream(path) << "本文";
    for (const char* name : {"user.notes", "user.pic.jpg", "user.summary.pdf"})
        if (::setxattr(path.c_str(), name, "data", 4, 0) != 0) {
            std::fprintf(stderr, "cannot set user attributes in %s: the loaded case is skipped\n", folder.c_str());
            return {};
        }
    return path;
}

void BM_StartEmpty(benchmark::State& state)
{
    for (auto _ : state) {
        auto form = startWindow({});
        state.PauseTiming();
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartEmpty)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_StartWithParentOfThreeStreams(benchmark::State& state)
{
    const std::string path = parentWithStreams();
    if (path.empty()) {
        state.SkipWithError("no user attributes here");
        return;
    }
    for (auto _ : state) {
        auto form = startWindow({Form1::qs(path)});
        state.PauseTiming();
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartWithParentOfThreeStreams)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char* argv[])
{
    const auto processStart = std::chrono::steady_clock::now();
    char templ[] = "/tmp/tessaly-startup-bench-XXXXXX";
    if (!::mkdtemp(templ))
        return 1;
    folder = templ;
    ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    {
        const auto windowStart = std::chrono::steady_clock::now();
        auto form = startWindow({});
        const auto shown = std::chrono::steady_clock::now();
        using ms = std::chrono::duration<double, std::milli>;
        std::printf("first window of a fresh process: %.1f ms once the application object exists, "
                    "%.1f ms from the start of main()\n",
                    ms(shown - windowStart).count(), ms(shown - processStart).count());
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
