// The command line driven as a process, as scripts use it: exit codes, escaping, the byte-exact
// round trip of odd names and contents, real ntfs-3g volumes, and a scan stopped with Ctrl+C that
// still leaves documents that Python's csv and json modules read.

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/ntfs_volume.h"
#include "support/process.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

using namespace tessaly;
using test::ProcessResult;
using test::RunProcess;

namespace {

ProcessResult Tessaly(std::vector<std::string> args, const std::string& input = {})
{
    args.insert(args.begin(), TESSALY_CLI);
    test::ProcessOptions options;
    options.input = input;
    return RunProcess(args, options);
}

// The document's rows as check_export.py reads them with Python's modules (fails the test when
// Python finds it malformed).
std::string ParsedExport(const std::string& format, const std::string& file)
{
    const ProcessResult r = RunProcess({TESSALY_PYTHON, TESSALY_CHECK_EXPORT, format, file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dir.supportsUserAttributes())
            GTEST_SKIP() << "the temporary folder's file system does not take user attributes";
    }
    test::TempDir dir;
};

TEST_F(CliTest, UsageMissingItemsAndRefusalsHaveTheirExitCodes)
{
    const std::string plain = dir.write("plain.txt", "data");
    const std::string with = dir.write("with.txt", "data");
    ASSERT_TRUE(test::SetStream(with, "s", "v"));
    std::filesystem::create_directory(dir.file("empty"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const struct {
        std::vector<std::string> args;
        int exit;
    } cases[] = {
        {{}, 2},
        {{"bogus"}, 2},
        {{"ls"}, 2},
        {{"ls", "--bogus", plain}, 2},
        {{"cat"}, 2},
        {{"cat", with, "s", "extra"}, 2},
        {{"put", with}, 2},
        {{"put", with, ""}, 2},
        {{"scan"}, 2},
        {{"scan", dir.path(), "--format", "xml"}, 2},
        {{"scan", dir.path(), "-o"}, 2},
        {{"scan", ""}, 2},                              // not the whole file system from "/"
        {{"scan", dir.path(), "-o", ""}, 2},
        {{"ls", plain, ""}, 2},
        {{"cat", with, ""}, 2},
        {{"--help"}, 0},
        {{"ls", "--help"}, 0},
        {{"scan", "-h"}, 0},
        {{"ls", plain}, 1},
        {{"ls", with}, 0},
        {{"ls", with, dir.file("gone")}, 3},
        {{"cat", dir.file("gone:s")}, 3},
        {{"cat", with, "nostream"}, 3},
        {{"cat", with + ":nostream"}, 3},
        {{"cat", dir.file("fifo")}, 3},                 // a FIFO is never read: it would block
        {{"put", with, "t", dir.file("fifo")}, 3},
        {{"put", with, "t", dir.file("gone")}, 3},
        {{"put", dir.file("gone"), "t", plain}, 3},
        {{"put", with, "s", plain}, 3},                 // an existing stream is kept
        {{"scan", dir.file("empty")}, 1},
        {{"scan", dir.file("gone")}, 3},
        {{"scan", dir.path(), "-o", dir.file("gone/out.csv")}, 3},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += " " + a;
        const ProcessResult r = Tessaly(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << "tessaly" << shown << "\n" << r.err;
        if (c.exit == 0 && c.args.size() <= 2 && c.args.back()[0] == '-') {
            EXPECT_NE(r.out.find("使い方: tessaly"), std::string::npos) << shown;
        }
        if (c.exit >= 2) {
            EXPECT_NE(r.err.find("tessaly"), std::string::npos) << "no message for" << shown;
        }
    }
    EXPECT_EQ(test::StreamValue(with, "s"), "v");
    EXPECT_EQ(test::StreamValue(with, "t"), "<none>");
}

// A file its owner may not write takes no stream: put is refused and says so. Root could write it,
// so the case runs as an ordinary user.
TEST_F(CliTest, PutRefusesAReadOnlyFile)
{
    const std::string file = dir.write("ro.txt", "data");
    const std::string source = dir.write("source", "new stream");
    std::vector<std::string> argv{TESSALY_CLI, "put", file, "s", source};
    int exitCode = -1;
    std::string output;
    if (test::RunningAsRoot()) {
        test::GiveToUnprivileged(dir.path());
        ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
        const test::ChildRun r = test::RunUnprivileged(argv);
        exitCode = r.status;
        output = r.output;
    } else {
        ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
        const ProcessResult r = RunProcess(argv);
        exitCode = r.exitCode;
        output = r.err;
    }
    EXPECT_EQ(exitCode, 3) << output;
    EXPECT_NE(output.find("tessaly put: "), std::string::npos) << output;
    EXPECT_EQ(test::StreamValue(file, "s"), "<none>");
}

// Output that cannot be written (a full disk) is a message and exit 3, never a cut result that
// passes for a whole one.
TEST_F(CliTest, OutputThatCannotBeWrittenIsAnError)
{
    const std::string with = dir.write("with.txt", "data");
    ASSERT_TRUE(test::SetStream(with, "s", "v"));
    const std::vector<std::string> cases[] = {{"ls", with}, {"cat", with, "s"}, {"scan", dir.path()},
                                              {"scan", dir.path(), "--format", "json"}, {"scan", "--help"}};
    for (const auto& args : cases) {
        std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", TESSALY_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        const ProcessResult r = RunProcess(argv);
        EXPECT_EQ(r.exitCode, 3) << args[0] << " " << r.err;
        EXPECT_NE(r.err.find("標準出力に書き込めません"), std::string::npos) << args[0] << " " << r.err;
    }
}

// What the user may not read is said to be so, not to be missing.
TEST_F(CliTest, ErrorsNameTheirRealCause)
{
    if (test::RerunThisTestUnprivileged())
        return;
    const std::string locked = dir.write("locked", "data");
    ASSERT_TRUE(test::SetStream(locked, "s", "v"));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    std::filesystem::create_directory(dir.file("closed"));
    const std::string inside = dir.write("closed/f", "");
    ASSERT_EQ(::chmod(dir.file("closed").c_str(), 0), 0);
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"cat", locked, "s"}, "Permission denied"},
        {{"cat", locked + ":s"}, "Permission denied"},
        {{"ls", locked}, "Permission denied"},  // its streams are there, not missing
        {{"ls", inside}, "Permission denied"},
        {{"cat", inside}, "Permission denied"},
        {{"ls", dir.file("gone")}, "見つかりません"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = Tessaly(c.args);
        EXPECT_EQ(r.exitCode, 3) << c.args[0] << " " << c.args[1];
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args[0] << " " << c.args[1] << ": " << r.err;
    }
    ::chmod(dir.file("closed").c_str(), 0755);
}

TEST_F(CliTest, OddNamesAndBytesRoundTripThroughPutLsAndCat)
{
    // A line break and an invalid byte in the file name, a colon in the stream name, every byte
    // value in the content.
    const std::string file = dir.write(std::string("a\nb\xff.txt"), "main");
    const std::string stream = std::string("n:\x1b\xfe");
    std::string content;
    for (int i = 0; i < 256; ++i)
        content.push_back(char(i));

    ASSERT_EQ(Tessaly({"put", file, stream, "-"}, content).exitCode, 0);
    ProcessResult r = Tessaly({"ls", file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, dir.path() + "/a\\nb\\xff.txt:n:\\x1b\\xfe\t256\n");
    r = Tessaly({"cat", file, stream});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == content);

    // Replacing needs --replace; a source file works as standard input does.
    const std::string source = dir.write("source", "from a file");
    EXPECT_EQ(Tessaly({"put", file, stream, source}).exitCode, 3);
    EXPECT_TRUE(Tessaly({"cat", file, stream}).out == content);
    EXPECT_EQ(Tessaly({"put", "--replace", file, stream, source}).exitCode, 0);
    EXPECT_EQ(Tessaly({"cat", file, stream}).out, "from a file");

    // FILE:STREAM is split at the last colon; a whole name that exists is a plain file.
    ASSERT_EQ(Tessaly({"put", file, "plain"}, "p").exitCode, 0);
    EXPECT_EQ(Tessaly({"cat", file + ":plain"}).out, "p");
    const std::string colonFile = dir.write("x:y", "file with a colon");
    EXPECT_EQ(Tessaly({"cat", colonFile}).out, "file with a colon");
}

TEST_F(CliTest, ScanDocumentsKeepRowsAndOrderWhateverTheNames)
{
    const std::string a = dir.write("a,\"q\"\n.txt", "12345");
    ASSERT_TRUE(test::SetStream(a, "s1", "x"));
    ASSERT_TRUE(test::SetStream(a, "s2", ""));
    std::filesystem::create_directory(dir.file("sub"));
    const std::string b = dir.write("sub/b", "");
    ASSERT_TRUE(test::SetStream(b, "t", "yy"));
    dir.write("none", "no streams");

    const ProcessResult text = Tessaly({"scan", dir.path()});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.err, "");  // no progress line where standard error is not a terminal
    // Two parents, three streams, one row a line: the line break in the name is escaped.
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 5) << text.out;
    EXPECT_NE(text.out.find(dir.path() + "/a,\"q\"\\n.txt\t5\t"), std::string::npos) << text.out;

    for (const std::string format : {"csv", "json"}) {
        const std::string out = dir.file("out." + format);
        const ProcessResult r = Tessaly({"scan", dir.path(), "--format", format, "-o", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string parsed = ParsedExport(format, out);
        // Quotes and commas survive the quoting; the line break arrives as the two characters "\n".
        EXPECT_NE(parsed.find("a,\\\"q\\\"\\\\n.txt\", 5]"), std::string::npos) << parsed;
        EXPECT_NE(parsed.find("n.txt:s1\", 1]"), std::string::npos) << parsed;
        EXPECT_NE(parsed.find("n.txt:s2\", 0]"), std::string::npos) << parsed;
        EXPECT_NE(parsed.find("sub/b:t\", 2]"), std::string::npos) << parsed;
        EXPECT_EQ(std::count(parsed.begin(), parsed.end(), '\n'), format == "json" ? 6 : 5) << parsed;
    }
}

// The scan against a walk written apart from it, over a tree with everything a walk can trip on
// (see independent_walk.py): every row, every passed-over folder and file, every name decoded back
// to its bytes, in all three formats. Permissions are part of the tree, so it runs as an ordinary user.
TEST_F(CliTest, ScanAgreesWithAnIndependentWalkOfATrickyTree)
{
    if (test::RerunThisTestUnprivileged())
        return;
    test::ProcessOptions options;
    options.timeoutSeconds = 600;
    // The system's interpreter: one in root's home is out of an ordinary user's reach.
    const std::string python = ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : TESSALY_PYTHON;
    const ProcessResult r = RunProcess({python, TESSALY_INDEPENDENT_WALK, TESSALY_CLI, dir.path()}, options);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

// On a terminal the scan shows its progress and ends with the window's summary; the document
// itself stays on standard output.
TEST_F(CliTest, ScanOnATerminalShowsItsSummary)
{
    if (::access("/usr/bin/script", X_OK) != 0)
        GTEST_SKIP() << "script (util-linux) is not installed: no terminal to run the scan in";
    std::filesystem::create_directory(dir.file("tree"));
    const std::string f = dir.write("tree/f", "");
    ASSERT_TRUE(test::SetStream(f, "s", "1"));
    const std::string out = dir.file("out.csv");
    const std::string command =
        std::string("'") + TESSALY_CLI + "' scan '" + dir.file("tree") + "' --format csv -o '" + out + "'";
    const ProcessResult r = RunProcess({"/usr/bin/script", "-qec", command, "/dev/null"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("1:1 / 1 検出しました"), std::string::npos) << r.out;
    EXPECT_NE(test::ReadFile(out).find("\"stream\",\"" + f + ":s\",1,"), std::string::npos);
}

// Ctrl+C in the middle of a large tree: the scan stops early and the document is still whole.
class CliInterruptTest : public CliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CliInterruptTest, PartialResultIsWellFormed)
{
    const std::string format = GetParam();
    constexpr int Files = 4000;
    for (int i = 0; i < Files; ++i) {
        const std::string f = dir.write("f" + std::to_string(i), "");
        ASSERT_TRUE(test::SetStream(f, "stream-with-a-longer-name", "v"));
    }
    test::ProcessOptions options;
    options.signalWhenBlocked = SIGINT;
    const ProcessResult r = RunProcess({TESSALY_CLI, "scan", dir.path(), "--format", format}, options);
    ASSERT_EQ(r.exitCode, 130) << r.err;
    const std::string out = dir.file("partial." + format);
    std::ofstream(out, std::ios::binary) << r.out;
    const std::string parsed = ParsedExport(format, out);
    const std::size_t rows = std::size_t(std::count(parsed.begin(), parsed.end(), '\n'));
    EXPECT_GT(rows, 10u);
    EXPECT_LT(rows, std::size_t(2 * Files));
    if (format == "json") {
        EXPECT_NE(parsed.find("{\"complete\": false"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CliInterruptTest, ::testing::Values("csv", "json"));

// Outside a scan nothing is left to finish: Ctrl+C ends the program at once.
TEST_F(CliTest, CtrlCEndsCatAtOnce)
{
    const std::string big = dir.write("big", std::string(std::size_t(16) << 20, 'x'));
    test::ProcessOptions options;
    options.signalWhenBlocked = SIGINT;
    const ProcessResult r = RunProcess({TESSALY_CLI, "cat", big}, options);
    EXPECT_EQ(r.exitCode, 128 + SIGINT);
    EXPECT_LT(r.out.size(), std::size_t(16) << 20);
}

// Every subcommand on a real NTFS volume in both stream modes; on the windows-mode mount a stream
// far beyond what an attribute holds goes through put and cat.
class CliNtfsTest : public ::testing::TestWithParam<const char*> {
protected:
    test::TempDir dir;
};

TEST_P(CliNtfsTest, EverySubcommandOnTheVolume)
{
    const std::string options = GetParam();
    if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    test::NtfsVolume volume(dir.path());
    if (const std::string error = volume.format(32 << 20); !error.empty())
        GTEST_SKIP() << error;
    if (const std::string error = volume.mount(options); !error.empty())
        GTEST_SKIP() << error;
    const std::string file = volume.path("doc.txt");
    std::ofstream(file) << "main data";

    const bool windows = !options.empty();
    std::string content(windows ? std::size_t(1) << 20 : 1000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = char((i * 131) >> 3);
    ProcessResult r = Tessaly({"put", file, "big"}, content);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(Tessaly({"put", file, "small", "-"}, "s").exitCode, 0);

    r = Tessaly({"ls", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(file + ":big\t" + std::to_string(content.size()) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(file + ":small\t1\n"), std::string::npos) << r.out;
    r = Tessaly({"cat", file + ":big"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == content) << "read back " << r.out.size() << " bytes";
    EXPECT_EQ(Tessaly({"cat", file, "small"}).out, "s");

    const std::string out = dir.file("scan.csv");
    r = Tessaly({"scan", volume.mountPoint(), "--format", "csv", "-o", out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string parsed = ParsedExport("csv", out);
    EXPECT_NE(parsed.find("doc.txt:big\", " + std::to_string(content.size()) + "]"), std::string::npos) << parsed;
    volume.unmount();
}

INSTANTIATE_TEST_SUITE_P(Modes, CliNtfsTest, ::testing::Values("", "streams_interface=windows"),
                         [](const auto& info) { return std::string(*info.param ? "WindowsInterface" : "Attributes"); });

}  // namespace
