// Documents open through real desktop entries the way the desktop starts them: wrappers, field
// codes, a sandbox launcher and a terminal each pass the item to the intended program, and an
// executable document is never run itself.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/oplog.h"
#include "gio_setup.h"
#include "launch/opener.h"
#include "platform/linux/associations.h"
#include "platform/linux/launcher.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/shell_link.h"
#include "platform/linux/workplace.h"
#include "support/fake_filesystem.h"
#include "support/tempdir.h"

using namespace tessaly;
using test::TempDir;

namespace {

std::string argsOf(const std::vector<std::string>& args)
{
    std::string joined;
    for (const auto& a : args)
        joined += a + '\0';
    return joined;
}

// The program a bare name starts, as the search path finds it.
std::string inPath(const std::string& name)
{
    std::string path = std::getenv("PATH");
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string candidate = path.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// The opener over the real system, with its log recorded and its work place in folder.
struct RealOpener {
    explicit RealOpener(const std::string& place) : work(place) {}
    LinuxFileSystem fs;
    GioAssociations associations;
    LinuxLauncher launcher;
    LinuxShellPaths paths;
    LinuxWorkPlace work;
    test::RecordingSink sink;
    OperationLog log{sink};
    ItemOpener opener{fs, associations, launcher, paths, work, log};
    // The item as the loader would hold it.
    ItemToOpen at(const std::string& text) { return {text, ResolveItemText(fs, text)}; }
};

// A document that the shell would run as a script if anything tried to execute it: it carries the
// execute bit (as every file on some mounted volumes does) but is no program.
std::string scriptLikeDocument(const TempDir& dir, const std::string& name)
{
    const std::string path = dir.write(name, "touch '" + dir.file("executed") + "'\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

bool ran(const TempDir& dir)
{
    return ::access(dir.file("executed").c_str(), F_OK) == 0;
}

struct EntryCase {
    const char* label;
    const char* item;     // name of the item in the test folder; "doc.txt:NAME" is a stream of doc.txt
    const char* program;  // the entry's executable as the log names it ("@BIN@/..." or a bare name)
    std::vector<std::string> leading;  // arguments the program receives before the item
};

class DesktopEntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(DesktopEntryTest, TheEntrysProgramReceivesTheItemAndTheItemNeverRuns)
{
    const EntryCase& c = GetParam();
    TempDir dir;
    std::string item = c.item;
    std::string handed;  // the path the program is to get
    const std::string place = dir.file("place");
    if (const auto colon = item.find(':'); colon != std::string::npos) {
        if (!dir.supportsUserAttributes())
            GTEST_SKIP() << "no user attributes in " << dir.path();
        const std::string parent = dir.write(item.substr(0, colon), "parent");
        ASSERT_TRUE(test::SetStream(parent, item.substr(colon + 1), "touch '" + dir.file("executed") + "'\n"));
        item = parent + item.substr(colon);
        handed = place + "/" + LinuxWorkPlace::OwnerFolderName(parent) + "/" + std::string(c.item).substr(colon + 1);
    } else {
        item = handed = scriptLikeDocument(dir, item);
    }

    RealOpener real(place);
    test::ClearRecorder();
    real.opener.TreeView1DblClick(real.at(item));
    std::string program = c.program;
    if (program.rfind("@BIN@", 0) == 0)
        program = test::TestDesktop().root + "/bin" + program.substr(5);
    else
        program = inPath(program);
    EXPECT_EQ(real.sink.bodies(),
              (std::vector<std::string>{"関連プログラム起動 " + program + " " + item, "42,0:Success"}));
    ASSERT_TRUE(test::WaitForRecorder()) << c.label;
    std::vector<std::string> expected = c.leading;
    expected.push_back(handed);  // GIO hands a local file to %U as its path
    EXPECT_EQ(test::RecordedArgs(), argsOf(expected)) << c.label;
    EXPECT_FALSE(ran(dir)) << "the item ran as code: " << c.label;
    const std::string terminal = test::TestDesktop().out + "/terminal";
    EXPECT_EQ(::access(terminal.c_str(), F_OK) == 0, std::string(c.label) == "terminal") << c.label;
    ::unlink(terminal.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Exec, DesktopEntryTest,
    ::testing::Values(EntryCase{"envWrapper", "readme.md", "env", {}},
                      EntryCase{"flagAndUris", "photo.jpg", "@BIN@/record-args", {"--flag"}},
                      EntryCase{"streamThroughItsExport", "doc.txt:pic.jpg", "@BIN@/record-args", {"--flag"}},
                      EntryCase{"sandboxLauncher", "data.xml", "flatpak", {}},
                      EntryCase{"shellCommand", "page.html", "sh", {}},
                      EntryCase{"terminal", "anim.gif", "@BIN@/record-args", {}},
                      EntryCase{"dbusActivatableWithoutABus", "image.bmp", "@BIN@/record-args", {}}),
    [](const auto& info) { return std::string(info.param.label); });

void writeProgram(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    ::chmod(path.c_str(), 0755);
}

// A chosen application opens the item through its entry, whether picked from the open-with list (by
// id) or as a desktop entry file in the program chooser; an entry that cannot start is a failure.
TEST(ChosenApplicationTest, EntriesByIdOrByFileOpenTheItemAndBrokenOnesFail)
{
    TempDir dir;
    const std::string item = scriptLikeDocument(dir, "notes.md");
    RealOpener real(dir.file("place"));
    const std::string apps = test::TestDesktop().root + "/data/applications/";
    test::ClearRecorder();
    EXPECT_GT(real.launcher.openWith({test::TestDesktop().recorder, "tessaly-test-editor.desktop"}, item).code, 32);
    ASSERT_TRUE(test::WaitForRecorder());
    EXPECT_EQ(test::RecordedArgs(), argsOf({item}));

    test::ClearRecorder();
    const std::string entry = apps + "tessaly-test-uris.desktop";
    real.opener.OpenByDirect2Click(real.at(item), [&] { return std::optional<std::string>(entry); });
    EXPECT_EQ(real.sink.bodies(), (std::vector<std::string>{"プログラム指定で起動 " + entry + " " + item, "42,0:Success"}));
    ASSERT_TRUE(test::WaitForRecorder());
    EXPECT_EQ(test::RecordedArgs(), argsOf({"--flag", item}));
    EXPECT_FALSE(ran(dir));

    for (const std::string& broken : {apps + "tessaly-test-missing.desktop", std::string(), std::string("none.desktop")})
        EXPECT_LE(real.launcher.openWith({"/bin/true", broken}, item).code, 32) << broken;
}

// "Tessaly hello.sh": the bare name is the file in the current folder, even when a program of that
// name lies in PATH.
TEST(BareNameTest, AProgramNamedOnTheCommandLineIsTheOneInTheCurrentFolder)
{
    TempDir dir;
    const std::string shadow = test::TestDesktop().root + "/bin/hello.sh";
    writeProgram(shadow, "#!/bin/sh\ntouch '" + dir.file("wrong") + "'\n");
    writeProgram(dir.file("hello.sh"), "#!/bin/sh\ntouch '" + dir.file("right") + "'\n");
    const std::string before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    RealOpener real(dir.file("place"));
    real.opener.TreeView1DblClick(real.at("hello.sh"));
    std::filesystem::current_path(before);
    ::unlink(shadow.c_str());
    EXPECT_EQ(real.sink.bodies(), (std::vector<std::string>{"プログラム起動 hello.sh", "42,0:Success"}));
    EXPECT_TRUE(test::WaitForFile(dir.file("right")));
    EXPECT_NE(::access(dir.file("wrong").c_str(), F_OK), 0);
}

}  // namespace

int main(int argc, char** argv)
{
    test::TempDir root;
    const std::string bin = root.path() + "/bin";
    test::MakeTestDesktop(
        root.path(),
        {{"tessaly-test-env.desktop", "env BAMF_DESKTOP_FILE_HINT=/x.desktop @BIN@/record-args %f", "text/markdown", ""},
         {"tessaly-test-uris.desktop", "@BIN@/record-args --flag %U", "image/jpeg", ""},
         {"tessaly-test-sandbox.desktop",
          "flatpak run --branch=stable --arch=x86_64 --command=viewer --file-forwarding org.example.Viewer @@u %U @@",
          "application/xml", ""},
         {"tessaly-test-shell.desktop", "sh -c '@BIN@/record-args \"$1\"' sh %f", "text/html", ""},
         {"tessaly-test-terminal.desktop", "@BIN@/record-args %f", "image/gif", "Terminal=true\n"},
         // Activated over D-Bus where a session bus answers; this test has none, so its Exec line runs.
         {"org.example.TessalyTest.desktop", "@BIN@/record-args %f", "image/bmp", "DBusActivatable=true\n"}});
    // Stand-ins found first in the search path: a sandbox launcher that forwards the files between
    // "@@u" and "@@" as paths, and a terminal that runs the command it is given.
    writeProgram(bin + "/flatpak",
                 "#!/bin/sh\n"
                 "while [ $# -gt 0 ] && [ \"$1\" != @@u ]; do shift; done; shift\n"
                 "for a in \"$@\"; do [ \"$a\" = @@ ] || set -- \"$@\" \"${a#file://}\"; shift; done\n"
                 "exec \"$(dirname \"$0\")/record-args\" \"$@\"\n");
    writeProgram(bin + "/gnome-terminal",
                 "#!/bin/sh\ntouch \"$(dirname \"$0\")/../out/terminal\"\ncase \"$1\" in --|-e|-x) shift;; esac\nexec \"$@\"\n");
    ::setenv("PATH", (bin + ":" + std::getenv("PATH")).c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
