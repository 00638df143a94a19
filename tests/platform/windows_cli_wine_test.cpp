// The Windows build of the command line started under Wine: help, listing and reading a plain
// file byte for byte (no line-end translation), error texts and exit codes. Wine keeps no named
// streams, so the stream cases of the Windows layer are the backup walk's unit tests.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/tempdir.h"

using namespace tessaly;

namespace {

constexpr const char* Wine = "/usr/lib/wine/wine64";

// "Z:\..." for a Linux path: Wine's drive for the root of the Linux file system.
std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

TEST(WindowsCliUnderWine, HelpListingReadingAndErrors)
{
    if (::access(Wine, X_OK) != 0)
        GTEST_SKIP() << "Wine is not installed (Debian wine64)";
    if (::access(TESSALY_WINDOWS_CLI, R_OK) != 0)
        GTEST_SKIP() << "the Windows build is missing (no cross compiler): " << TESSALY_WINDOWS_CLI;
    test::TempDir dir;
    // One throw-away prefix for all cases: its first start is the slow part.
    const std::vector<std::string> env{"WINEPREFIX=" + dir.file("prefix"), "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
    const std::string content = std::string("line one\r\nline two\n\x1a after Ctrl+Z\0 end", 36);
    const std::string file = dir.write("plain.txt", content);
    ::mkdir(dir.file("folder").c_str(), 0700);
    dir.write("folder/x.txt", "no streams");

    const struct {
        std::vector<std::string> args;
        int exit;
        std::string out;     // the whole standard output, when given
        std::string inErr;   // part of standard error
    } cases[] = {
        {{"--help"}, 0, {}, {}},
        {{"cat", WindowsPath(file)}, 0, content, {}},
        {{"ls", WindowsPath(file)}, 1, "", {}},
        {{"scan", WindowsPath(dir.file("folder"))}, 1, "", {}},
        {{"scan", WindowsPath(dir.file("folder")), "--format", "csv"}, 1, "kind,name,size,modified,reason\r\n", {}},
        {{"cat", WindowsPath(dir.file("gone.txt"))}, 3, "", "tessaly cat: \"" + WindowsPath(dir.file("gone.txt")) + "\" は見つかりません"},
        {{"ls", WindowsPath(dir.file("gone.txt"))}, 3, "", "は見つかりません"},
        {{"scan", WindowsPath(dir.file("gone"))}, 3, "", "を開けません"},
        {{"bogus"}, 2, "", "tessaly: 不明なコマンド bogus"},
        {{"cat"}, 2, "", "「tessaly --help」"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{Wine, TESSALY_WINDOWS_CLI};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        test::ProcessOptions options;
        options.environment = env;
        options.timeoutSeconds = 300;
        const test::ProcessResult r = test::RunProcess(argv, options);
        const std::string shown = c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(r.exitCode, c.exit) << shown << "\n" << r.err;
        if (c.args.front() == "--help")
            EXPECT_EQ(r.out.rfind("使い方: tessaly", 0), 0u) << r.out;
        else
            EXPECT_TRUE(r.out == c.out) << shown << ": " << r.out.size() << " bytes\n" << r.out;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << shown << ": " << r.err;
    }
}

}  // namespace
