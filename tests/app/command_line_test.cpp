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
        EXPECT_EQ(LocalPathsFromUriList(c.list), c.paths) << c.list;
}
