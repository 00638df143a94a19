// What a preview costs: judging and laying out 64 KiB on the reading thread, and putting the result
// on screen on the window thread (the only part that can hold up the window). Run offscreen:
//     QT_QPA_PLATFORM=offscreen ./preview_bench

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>

#include <random>
#include <string>

#include "streams/preview.h"

using namespace tessaly;

namespace {

std::string binarySample()
{
    std::mt19937 random(7);
    std::string bytes(PreviewLimit, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

// 日本語テキスト and a line break in Shift_JIS, repeated to the limit.
std::string shiftJisSample()
{
    const std::string line = "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67\r\n";
    std::string bytes;
    while (bytes.size() + line.size() <= PreviewLimit)
        bytes += line;
    return bytes;
}

void GuessAndHexDumpBinary(benchmark::State& state)
{
    const std::string bytes = binarySample();
    for (auto _ : state) {
        const ContentGuess g = GuessContent(bytes, true);
        benchmark::DoNotOptimize(g);
        std::string dump = HexDump(bytes);
        benchmark::DoNotOptimize(dump);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(GuessAndHexDumpBinary)->Unit(benchmark::kMicrosecond);

void GuessShiftJisText(benchmark::State& state)
{
    const std::string bytes = shiftJisSample();
    for (auto _ : state) {
        const ContentGuess g = GuessContent(bytes, true);
        benchmark::DoNotOptimize(g);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(GuessShiftJisText)->Unit(benchmark::kMicrosecond);

// The window thread's share of a binary preview: the hex text into the view.
void ShowHexOnWindowThread(benchmark::State& state)
{
    const QString dump = QString::fromLatin1(HexDump(binarySample()));
    QPlainTextEdit view;
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.resize(400, 300);
    view.show();
    for (auto _ : state) {
        view.setPlainText(dump);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(ShowHexOnWindowThread)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
