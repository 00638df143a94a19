#include <gtest/gtest.h>

#include <cctype>
#include <string>

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
                                           NameCase{"", "", ""}),
                         [](const ::testing::TestParamInfo<NameCase>& info) {
                             // The path's ASCII letters and digits, so that a failing case is
                             // recognised in the test list; the index keeps names unique.
                             std::string name = std::to_string(info.index) + "_";
                             if (!*info.param.path)
                                 return name + "empty";
                             for (const char* p = info.param.path; *p; ++p) {
                                 const unsigned char c = static_cast<unsigned char>(*p);
                                 if (c < 0x80 && std::isalnum(c))
                                     name += char(c);
                                 else if (name.back() != '_')
                                     name += '_';
                             }
                             return name;
                         });

TEST(NameHelpers, LowerAndTrim)
{
    EXPECT_EQ(AsciiLower("FavIcon.ÄB"), "favicon.Äb");
    EXPECT_EQ(TrimControls(" \t/p/x \r\n"), "/p/x");
    EXPECT_EQ(TrimControls(" \x01 "), "");
}
