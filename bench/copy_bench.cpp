// Copying one large item: CopyItemData against the system's cp on the same file in the same run,
// and the peak memory of each, measured in a child process that does nothing but the copy.
//
// The item is 1 GiB by default (TESSALY_BENCH_COPY_MIB changes it) and lives in TESSALY_BENCH_DIR,
// or $TMPDIR, or /tmp. Throughput is bytes_per_second over wall-clock time; peak_rss_MiB is the
// copying process's maximum resident set (ru_maxrss), baseline_rss_MiB that of a child that copies
// nothing, so the difference is what the copy itself held.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/linux_filesystem.h"
#include "streams/copy_item.h"

extern char** environ;

namespace {

using namespace tessaly;

std::uint64_t itemBytes()
{
    const char* mib = std::getenv("TESSALY_BENCH_COPY_MIB");
    return (mib && *mib ? std::strtoull(mib, nullptr, 10) : 1024) << 20;
}

// The folder with the source item, made once per run and removed at exit.
class BenchFolder {
public:
    BenchFolder()
    {
        const char* base = std::getenv("TESSALY_BENCH_DIR");
        if (!base || !*base)
            base = std::getenv("TMPDIR");
        std::string templ = std::string(base && *base ? base : "/tmp") + "/tessaly-copy-bench-XXXXXX";
        if (!::mkdtemp(templ.data())) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        path = templ;
        source = path + "/source.bin";
        // Not one repeated byte, so no file system can store it sparsely or compressed.
        std::ofstream out(source, std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::uint64_t written = 0; written < itemBytes(); written += block.size()) {
            for (std::size_t i = 0; i < block.size(); i += 8)
                block[i] = char((written >> 20) + i);
            out.write(block.data(), std::streamsize(block.size()));
        }
    }
    ~BenchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path, source;
};

BenchFolder& folder()
{
    static BenchFolder f;
    return f;
}

// Runs work in a child process; returns its peak resident set in KiB, or -1 when it failed.
template <class Work>
long inChild(Work work)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(work() ? 0 : 1);
    int status = 0;
    rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

long spawnAndWait(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

class PipeReader final : public ItemReader {
public:
    explicit PipeReader(int fd) : fd_(fd) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n < 0)
            return SysError{errno, "read"};
        return std::size_t(n);
    }

private:
    int fd_;
};

// Before each timed copy: the target absent (state.range(0) == 0), an existing file of the same
// size (1), or such a file with a second hard link (2, which is written in place), and no dirty
// pages left from the copy before, so that every copy starts alike.
void prepare(benchmark::State& state, const std::string& target)
{
    state.PauseTiming();
    std::error_code ec;
    std::filesystem::remove(target, ec);
    std::filesystem::remove(target + ".link", ec);
    if (state.range(0) >= 1)  // 3: from a pipe onto an existing file
        std::filesystem::copy_file(folder().source, target, ec);
    if (state.range(0) == 2)
        std::filesystem::create_hard_link(target, target + ".link", ec);
    ::sync();
    state.ResumeTiming();
}

void report(benchmark::State& state, long peakKiB)
{
    static const long baseline = inChild([] { return true; });
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(itemBytes()));
    state.counters["peak_rss_MiB"] = double(peakKiB) / 1024;
    state.counters["baseline_rss_MiB"] = double(baseline) / 1024;
    state.counters["item_MiB"] = double(itemBytes() >> 20);
}

void BM_CopyItemData(benchmark::State& state)
{
    const std::string target = folder().path + "/copy.bin";
    long peak = 0;
    for (auto _ : state) {
        prepare(state, target);
        const long rss = inChild([&] {
            LinuxFileSystem fs;
            if (state.range(0) != 3)
                return !CopyItemData(fs, ItemRef{folder().source, {}}, ItemRef{target, {}});
            // From a pipe: a source of unknown size, fed by a child of its own.
            int fds[2];
            if (::pipe(fds) != 0)
                return false;
            if (::fork() == 0) {
                ::close(fds[0]);
                std::ifstream in(folder().source, std::ios::binary);
                std::vector<char> piece(1 << 20);
                while (in.read(piece.data(), std::streamsize(piece.size())) || in.gcount() > 0)
                    if (::write(fds[1], piece.data(), std::size_t(in.gcount())) != in.gcount())
                        ::_exit(1);
                ::_exit(0);
            }
            ::close(fds[1]);
            PipeReader pipe(fds[0]);
            const bool ok = !CopyItemData(fs, pipe, "-", ItemRef{target, {}});
            ::close(fds[0]);
            ::wait(nullptr);
            return ok;
        });
        if (rss < 0)
            state.SkipWithError("CopyItemData failed");
        peak = std::max(peak, rss);
    }
    report(state, peak);
}

void BM_SystemCp(benchmark::State& state)
{
    const std::string target = folder().path + "/cp.bin";
    long peak = 0;
    for (auto _ : state) {
        prepare(state, target);
        const long rss = spawnAndWait({"cp", folder().source, target});
        if (rss < 0)
            state.SkipWithError("cp failed");
        peak = std::max(peak, rss);
    }
    report(state, peak);
}

// cp followed by a sync of the target, which is what a save does before it reports success.
void BM_SystemCpThenSync(benchmark::State& state)
{
    const std::string target = folder().path + "/cp-sync.bin";
    long peak = 0;
    for (auto _ : state) {
        prepare(state, target);
        const long rss = spawnAndWait({"cp", folder().source, target});
        if (rss < 0 || spawnAndWait({"sync", target}) < 0)
            state.SkipWithError("cp or sync failed");
        peak = std::max(peak, rss);
    }
    report(state, peak);
}

// The whole item held in memory at once, as a copy without pieces would do it.
void BM_WholeBufferCopy(benchmark::State& state)
{
    const std::string target = folder().path + "/whole.bin";
    long peak = 0;
    for (auto _ : state) {
        prepare(state, target);
        const long rss = inChild([&] {
            LinuxFileSystem fs;
            auto data = fs.readItem(ItemRef{folder().source, {}});
            return data.ok() && !fs.writeItem(ItemRef{target, {}}, data.value());
        });
        if (rss < 0)
            state.SkipWithError("whole-buffer copy failed");
        peak = std::max(peak, rss);
    }
    report(state, peak);
}

// Alternating, so that both find the source in the page cache alike. Argument 0: a new target;
// 1: replacing an existing file (a new file synced and renamed over it); 2: an existing file with a
// second link (written in place); 3 (CopyItemData only): replacing an existing file from a pipe.
// cp writes every target in place and does not sync.
BENCHMARK(BM_SystemCp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_CopyItemData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Arg(0)->Arg(1)->Arg(2)->Arg(3);
BENCHMARK(BM_SystemCpThenSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_WholeBufferCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Arg(0);
BENCHMARK(BM_SystemCp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_CopyItemData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Arg(0)->Arg(1)->Arg(2)->Arg(3);

}  // namespace

BENCHMARK_MAIN();
