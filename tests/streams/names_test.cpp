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

// Both systems' rules, whichever system runs the test: final name, extension, whether the path is
// absolute, and the path an argument names from the folder C:\cur (Windows) or /cur (Linux).
TEST(PathRules, BothSystems)
{
    constexpr auto W = PathStyle::Windows;
    constexpr auto P = PathStyle::Posix;
    struct Case {
        PathStyle style;
        const char* path;
        const char* name;
        const char* extension;
        bool absolute;
        const char* fromCurrent;
    };
    const Case cases[] = {
        {W, "C:\\dir\\file.txt", "file.txt", ".txt", true, "C:\\dir\\file.txt"},
        {W, "C:\\a.b\\file", "file", "", true, "C:\\a.b\\file"},
        {W, "C:/mixed\\sep/x.y", "x.y", ".y", true, "C:/mixed\\sep/x.y"},
        {W, "C:\\doc.txt:Zone.Identifier", "Zone.Identifier", ".Identifier", true, "C:\\doc.txt:Zone.Identifier"},
        {W, "\\\\server\\share\\日本.txt", "日本.txt", ".txt", true, "\\\\server\\share\\日本.txt"},
        {W, "\\\\?\\C:\\long\\name", "name", "", true, "\\\\?\\C:\\long\\name"},
        {W, "C:rel.txt", "rel.txt", ".txt", false, "C:rel.txt"},
        {W, "\\rooted\\x", "x", "", false, "C:\\rooted\\x"},
        {W, ".\\sub\\a.b", "a.b", ".b", false, "C:\\cur\\sub\\a.b"},
        {W, "a/b:s", "s", "", false, "C:\\cur\\a/b:s"},
        {W, ".", ".", ".", false, "C:\\cur"},
        {P, "/p/doc.txt:notes", "notes", "", true, "/p/doc.txt:notes"},
        {P, "C:\\dir\\file.txt", "\\dir\\file.txt", ".txt", false, "/cur/C:\\dir\\file.txt"},
        {P, "./a\\b.c", "a\\b.c", ".c", false, "/cur/a\\b.c"},
        {P, "./", "", "", false, "/cur/"},
    };
    for (const Case& c : cases) {
        const std::string folder = c.style == W ? "C:\\cur" : "/cur";
        EXPECT_EQ(FinalNameComponent(c.path, c.style), c.name) << c.path;
        EXPECT_EQ(ExtensionOf(c.path, c.style), c.extension) << c.path;
        EXPECT_EQ(IsAbsolutePath(c.path, c.style), c.absolute) << c.path;
        EXPECT_EQ(AbsolutePath(folder, c.path, c.style), c.fromCurrent) << c.path;
    }
    EXPECT_EQ(AbsolutePath("\\\\srv\\share\\cur", "\\x", W), "\\\\srv\\share\\x");
}
