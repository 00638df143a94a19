// The Windows build of the command line started under Wine, in an ASCII and a UTF-8 locale: help,
// listing and reading a plain file byte for byte (no line-end translation), Japanese and emoji
// names, a path over 260 characters, writing with put, a scan of a few thousand files, error texts
// and exit codes. Wine lists no named streams (a "file:stream" write becomes a file of that name),
// so the stream listing cases of the Windows layer are the backup walk's unit tests.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/tempdir.h"
#include "support/wine.h"

using namespace tessaly;
using test::Wine;
using test::WindowsPath;

namespace {

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
    for (int i = 0; i < 3000; ++i)
        dir.write("folder/f" + std::to_string(i), "");
    const std::string named = dir.write("日本語 😀.txt", "名前");
    std::string deep = dir.file("");
    for (int i = 0; i < 5; ++i)
        ::mkdir((deep += std::string(60, 'd') + "/").c_str(), 0700);
    const std::string longPath = dir.write(deep.substr(dir.file("").size()) + "long name.txt", "long");
    ASSERT_GT(WindowsPath(longPath).size(), 300u);
    dir.write("put-source", "put data");

    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string out;     // the whole standard output, when given
        std::string inErr;   // part of standard error
    };
    // Wine turns the Linux command line into UTF-16 by the locale's character set, so names outside
    // ASCII are given as arguments in the UTF-8 locale only (a Windows parent passes UTF-16 itself).
    const Case utf8Cases[] = {
        {{"cat", WindowsPath(named)}, 0, "名前", {}},
        {{"put", WindowsPath(named), "メモ😀", WindowsPath(dir.file("put-source"))}, 0, "", {}},
        {{"cat", WindowsPath(named) + ":メモ😀"}, 0, "put data", {}},
        {{"ls", WindowsPath(named)}, 1, "", {}},
        {{"cat", WindowsPath(dir.file("無い.txt"))}, 3, "", "\"" + WindowsPath(dir.file("無い.txt")) + "\" は見つかりません"},
    };
    const Case cases[] = {
        {{"cat", WindowsPath(longPath)}, 0, "long", {}},
        {{"ls", WindowsPath(longPath)}, 1, "", {}},
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
    const auto run = [&](const Case& c, const std::string& locale) {
        std::vector<std::string> argv{Wine, TESSALY_WINDOWS_CLI};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        test::ProcessOptions options;
        options.environment = env;
        options.environment.push_back("LANG=" + locale);
        options.unset = {"LC_ALL", "LC_CTYPE"};
        options.timeoutSeconds = 300;
        const test::ProcessResult r = test::RunProcess(argv, options);
        const std::string shown = locale + ": " + c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(r.exitCode, c.exit) << shown << "\n" << r.err;
        if (c.args.front() == "--help")
            EXPECT_EQ(r.out.rfind("使い方: tessaly", 0), 0u) << r.out;
        else
            EXPECT_TRUE(r.out == c.out) << shown << ": " << r.out.size() << " bytes\n" << r.out;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << shown << ": " << r.err;
    };
    for (const char* locale : {"C", "C.UTF-8"})
        for (const Case& c : cases)
            run(c, locale);
    for (const Case& c : utf8Cases)
        run(c, "C.UTF-8");
}

}  // namespace
