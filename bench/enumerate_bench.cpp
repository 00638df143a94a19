// EnumerateStreams over a tree of 100,000 files, 5% of them with two streams, against the bare walk
// that only calls listxattr on the same paths. Two trees differ only in the size of their streams:
// the listing never reads stream data, so both must cost the same.
//
// The trees are made once and kept in TESSALY_BENCH_TREES (default: beside this program in the
// build folder); a tree is remade when its completion mark is missing.

#include <benchmark/benchmark.h>

#include <sys/xattr.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/linux/linux_filesystem.h"
#include "streams/enumerate.h"

using namespace tessaly;

namespace {

constexpr int Folders = 100;
constexpr int FilesPerFolder = 1000;
constexpr int FilesWithStreamsEvery = 20;  // 5%
constexpr int StreamsPerMarkedFile = 2;

struct Variant {
    const char* name;
    std::size_t firstStreamBytes;
    std::size_t secondStreamBytes;
};
// Both fit an ext4 attribute block (4 KiB for all of a file's attributes).
constexpr Variant Small{"small-streams", 8, 24};
constexpr Variant Large{"large-streams", 1500, 2300};

std::string treesFolder()
{
    const char* env = std::getenv("TESSALY_BENCH_TREES");
    return env && *env ? env : TESSALY_BENCH_TREES_DEFAULT;
}

std::string filePath(const std::string& root, int folder, int file)
{
    char name[64];
    std::snprintf(name, sizeof name, "/d%03d/file%06d.txt", folder, folder * FilesPerFolder + file);
    return root + name;
}

void setStream(const std::string& path, const std::string& name, std::size_t bytes)
{
    const std::string value(bytes, 'v');
    if (::setxattr(path.c_str(), ("user." + name).c_str(), value.data(), value.size(), 0) != 0)
        throw std::runtime_error("cannot set a user attribute on " + path +
                                 " (set TESSALY_BENCH_TREES to a folder on ext4, xfs or btrfs)");
}

// The paths of the tree of one variant, made first when needed.
const std::vector<std::string>& tree(const Variant& variant)
{
    static std::vector<std::string> paths[2];
    std::vector<std::string>& result = paths[&variant == &Small ? 0 : 1];
    if (!result.empty())
        return result;
    namespace fs = std::filesystem;
    const std::string root = treesFolder() + "/" + variant.name;
    const std::string mark = root + "/.complete";
    const bool ready = fs::exists(mark);
    if (!ready) {
        fs::remove_all(root);
        std::fprintf(stderr, "making %s (once)...\n", root.c_str());
    }
    for (int d = 0; d < Folders; ++d) {
        if (!ready)
            fs::create_directories(root + "/d" + std::to_string(1000 + d).substr(1));
        for (int f = 0; f < FilesPerFolder; ++f) {
            std::string path = filePath(root, d, f);
            if (!ready) {
                std::ofstream(path) << "content";
                if ((d * FilesPerFolder + f) % FilesWithStreamsEvery == 0) {
                    setStream(path, "notes", variant.firstStreamBytes);
                    setStream(path, "Zone.Identifier", variant.secondStreamBytes);
                }
            }
            result.push_back(std::move(path));
        }
    }
    if (!ready)
        std::ofstream(mark) << "done";
    return result;
}

void checkCount(benchmark::State& state, std::size_t entries, std::size_t files)
{
    const std::size_t expected = files / FilesWithStreamsEvery * StreamsPerMarkedFile;
    if (entries != expected)
        state.SkipWithError(("found " + std::to_string(entries) + " streams, expected " +
                             std::to_string(expected)).c_str());
}

void BM_EnumerateStreams(benchmark::State& state, const Variant* variant)
{
    const auto& paths = tree(*variant);
    LinuxFileSystem fs;
    StreamList list;
    std::size_t entries = 0;
    for (auto _ : state) {
        entries = 0;
        for (const auto& path : paths) {
            EnumerateStreams(fs, path, list);
            entries += list.size();
        }
        benchmark::DoNotOptimize(entries);
    }
    checkCount(state, entries, paths.size());
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(paths.size()));
    state.SetLabel("items/s = files/s");
}

// The least any listing must do: one listxattr per path.
void BM_ListxattrOnly(benchmark::State& state, const Variant* variant)
{
    const auto& paths = tree(*variant);
    char names[4096];
    std::size_t withStreams = 0;
    for (auto _ : state) {
        withStreams = 0;
        for (const auto& path : paths)
            withStreams += ::listxattr(path.c_str(), names, sizeof names) > 0;
        benchmark::DoNotOptimize(withStreams);
    }
    checkCount(state, withStreams * StreamsPerMarkedFile, paths.size());
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(paths.size()));
    state.SetLabel("items/s = files/s");
}

}  // namespace

BENCHMARK_CAPTURE(BM_ListxattrOnly, small_streams, &Small)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EnumerateStreams, small_streams, &Small)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListxattrOnly, large_streams, &Large)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EnumerateStreams, large_streams, &Large)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
