#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <set>

#include "desktop/desktop_rules.h"
#include "support/tempdir.h"

using namespace tessaly;

TEST(DesktopRulesTest, FilesBesideTheExecutable)
{
    EXPECT_EQ(ReplaceExtension("/opt/t/Tessaly", ".ini"), "/opt/t/Tessaly.ini");
    EXPECT_EQ(ReplaceExtension("/opt/t/Tessaly.bin", ".ini"), "/opt/t/Tessaly.ini");
    EXPECT_EQ(ReplaceExtension("/opt/t.d/Tessaly", ".html"), "/opt/t.d/Tessaly.html");
    EXPECT_EQ(ReplaceExtension("/opt/t/.hidden", ".ini"), "/opt/t/.hidden.ini");
    EXPECT_EQ(SettingsFileInConfig("/usr/bin/Tessaly", "/home/u/.config"), "/home/u/.config/Tessaly/Tessaly.ini");
    EXPECT_EQ(HelpFileCandidates("/usr/bin/Tessaly", "../share/doc/tessaly"),
              (std::vector<std::string>{"/usr/bin/Tessaly.html", "/usr/bin/../share/doc/tessaly/Tessaly.html"}));
}

TEST(DesktopRulesTest, XdgFoldersIgnoreUnsetAndRelativeValues)
{
    EXPECT_EQ(XdgBaseDir("/x/config", "/home/u", ".config"), "/x/config");
    EXPECT_EQ(XdgBaseDir("", "/home/u", ".config"), "/home/u/.config");
    EXPECT_EQ(XdgBaseDir("relative/dir", "/home/u/", ".local/share"), "/home/u/.local/share");
}

TEST(DesktopRulesTest, ExecArgumentQuoting)
{
    EXPECT_EQ(DesktopEntryExecArgument("/usr/bin/Tessaly"), "\"/usr/bin/Tessaly\"");
    EXPECT_EQ(DesktopEntryExecArgument("/a b/T"), "\"/a b/T\"");
    // Inside quotes: \" \` \$ \\ ; then the value's own escaping doubles every backslash.
    EXPECT_EQ(DesktopEntryExecArgument("/a\"b`c$d\\e"), "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
    EXPECT_EQ(DesktopEntryExecArgument("/100%/T"), "\"/100%%/T\"");
    EXPECT_EQ(DesktopEntryEscape(" lead\ttab\nline"), "\\slead\\ttab\\nline");
}

// The entry offers the program for every file, in English and Japanese; a path that happens to
// hold a placeholder of the template stays as it is.
TEST(DesktopRulesTest, EntryOffersEveryFileAndKeepsOddPaths)
{
    const std::string entry = DesktopEntryText("Tessaly", "/opt/@ICON@/@NAME@", "/i/@EXEC@.png");
    for (const char* line : {"\nName=Tessaly\n", "\nName[ja]=Tessaly\n", "\nExec=\"/opt/@ICON@/@NAME@\" %f\n",
                             "\nIcon=/i/@EXEC@.png\n", "\nMimeType=application/octet-stream;\n", "\nComment[ja]="})
        EXPECT_NE(entry.find(line), std::string::npos) << line << "\n" << entry;
}

TEST(DesktopRulesTest, AboutTextHasSixLines)
{
    const std::string text = AboutText("/opt/x/Tessaly");
    EXPECT_EQ(text, "Tessaly V1.3\n/opt/x/Tessaly\n\nCopyright (C) 2026 The Tessaly project\ntessaly@example.org\n"
                    "https://tessaly.example.org/");
}

TEST(DesktopRulesTest, GradientColoursAndDirections)
{
    std::mt19937 random(1);
    std::set<bool> directions;
    for (int i = 0; i < 10000; ++i) {
        const AboutGradient g = NextAboutGradient(random);
        ASSERT_LE(g.colour, 0xFFFFFEu);
        directions.insert(g.horizontal());
    }
    EXPECT_EQ(directions.size(), 2u);
    const AboutGradient g{0x123456};
    EXPECT_EQ(g.red(), 0x56);
    EXPECT_EQ(g.green(), 0x34);
    EXPECT_EQ(g.blue(), 0x12);
    EXPECT_FALSE(g.horizontal());
    EXPECT_TRUE(AboutGradient{0x000001}.horizontal());
}

// The entries the program writes must be accepted by the desktops' own checker, odd paths included.
TEST(DesktopRulesTest, EntriesPassDesktopFileValidate)
{
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "desktop-file-validate is not installed";
    test::TempDir dir;
    int n = 0;
    for (const char* exe : {"/usr/bin/Tessaly", "/home/u/my tools/Tessaly", "/a\"q`b$c\\d/100%/T;x&y", "/ä/日本/Tessaly"}) {
        const std::string path = dir.file("Tessaly" + std::to_string(n++) + ".desktop");
        std::ofstream(path) << DesktopEntryText("Tessaly", exe, "/opt/icons/tessaly.png");
        const std::string command = "desktop-file-validate '" + path + "' >" + dir.file("out") + " 2>&1";
        const int rc = std::system(command.c_str());
        std::ifstream out(dir.file("out"));
        const std::string messages((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
        EXPECT_EQ(rc, 0) << exe << "\n" << messages;
        EXPECT_EQ(messages.find("error"), std::string::npos) << messages;
    }
}
