#include <gtest/gtest.h>

#include "streams/names.h"

using namespace tessaly;

struct NameCase {
    const char* path;
    const char* name;
    const char* extension;
};

class NameRules : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRules, FinalComponentAndExtension)
{
    const auto& c = GetParam();
    EXPECT_EQ(FinalNameComponent(c.path), c.name) << c.path;
    EXPECT_EQ(ExtensionOf(c.path), c.extension) << c.path;
}

INSTANTIATE_TEST_SUITE_P(Paths, NameRules,
                         ::testing::Values(NameCase{"/p/doc.txt:notes", "notes", ""},
                                           NameCase{"/x/notes.txt", "notes.txt", ".txt"},
                                           NameCase{"/p/doc.txt:pic.jpg", "pic.jpg", ".jpg"},
                                           NameCase{"/d/setup.zip:Zone.Identifier", "Zone.Identifier", ".Identifier"},
                                           NameCase{"/p/v1.2/README", "README", ""},
                                           NameCase{"README", "README", ""},
                                           NameCase{"/p/.hidden", ".hidden", ".hidden"},
                                           NameCase{"/p/dir/", "", ""},
                                           NameCase{"/p/日本語 文書.txt:メモ", "メモ", ""},
                                           NameCase{"", "", ""}));

TEST(NameHelpers, LowerAndTrim)
{
    EXPECT_EQ(AsciiLower("FavIcon.ÄB"), "favicon.Äb");
    EXPECT_EQ(TrimControls(" \t/p/x \r\n"), "/p/x");
    EXPECT_EQ(TrimControls(" \x01 "), "");
}
