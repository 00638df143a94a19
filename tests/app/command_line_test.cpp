// Paths from the command line and from dropped URI lists stay the bytes they name.

#include <gtest/gtest.h>

#include "app/command_line.h"

using namespace tessaly;
using Paths = std::vector<std::string>;

TEST(CommandLinePaths, EmptyArgumentsNameNothingAndRelativeOnesAreAnchored)
{
    EXPECT_EQ(CommandLinePaths({"", "a.txt", "", "/abs/b\xff", "./c", "./", "."}, "/cur"),
              (Paths{"/cur/a.txt", "/abs/b\xff", "/cur/c", "/cur/", "/cur"}));
    EXPECT_EQ(CommandLinePaths({"-reverse"}, "/"), Paths{"/-reverse"});
    EXPECT_EQ(CommandLinePaths({"rel"}, ""), Paths{"rel"});  // no current folder: left as it is
    EXPECT_EQ(CommandLinePaths({"C:\\x", "y"}, "D:\\cur", PathStyle::Windows), (Paths{"C:\\x", "D:\\cur\\y"}));
}

TEST(LocalPathsFromUriList, TakesLocalFilesByteForByte)
{
    struct Case {
        const char* list;
        Paths paths;
    };
    const Case cases[] = {
        {"file:///a/b%20c%FF%2525\r\nfile:///d\r\n", {"/a/b c\xff%25", "/d"}},
        {"# comment\nfile://localhost/x\nFILE://LocalHost/y\n", {"/x", "/y"}},
        {"file://elsewhere/x\nhttps://example.org/a\nfile:relative\n", {}},
        {"file:/single/slash?query#frag\n  file:///blank%2\n", {"/single/slash", "/blank%2"}},
        {"file:///a%00b\nfile:///ok\n", {"/ok"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LocalPathsFromUriList(c.list, PathStyle::Posix), c.paths) << c.list;

    // Windows: a drive or a share starts the path, written with its own separator.
    const Case windows[] = {
        {"file:///C:/dir/a%20b.txt\r\nfile://localhost/D:/x\n", {"C:\\dir\\a b.txt", "D:\\x"}},
        {"file://server/share/%E6%97%A5.txt\nfile:///no-drive\nfile:///C:rel\n", {"\\\\server\\share\\日.txt"}},
    };
    for (const Case& c : windows)
        EXPECT_EQ(LocalPathsFromUriList(c.list, PathStyle::Windows), c.paths) << c.list;
}
