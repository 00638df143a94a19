// The Linux side of opening items, against a desktop of the test's own: GIO associations, starting
// programs and documents, the private work place, shell links, and one real launch end to end.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "common/oplog.h"
#include "gio_setup.h"
#include "launch/opener.h"
#include "link_bytes.h"
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

std::string argsOf(std::initializer_list<std::string> args)
{
    std::string joined;
    for (const auto& a : args)
        joined += a + '\0';
    return joined;
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// --- Associations -----------------------------------------------------------------------------

TEST(GioAssociationsTest, ProgramsComeFromTheTestDesktopByName)
{
    GioAssociations a;
    const std::string recorder = test::TestDesktop().recorder;
    EXPECT_EQ(a.findExecutable("/nowhere/data.csv"), recorder);  // judged by name: need not exist
    EXPECT_EQ(a.findExecutable("/nowhere/doc.txt:table.csv"), recorder);  // a stream's own name counts
    EXPECT_EQ(a.findExecutable("/nowhere/file.zzqqy"), "");
    EXPECT_EQ(a.defaultApplicationForType("text/plain").program, recorder);
    EXPECT_TRUE(a.defaultApplicationForType("image/png").empty());
    EXPECT_FALSE(a.noAssociationMessage().empty());
}

TEST(GioAssociationsTest, AnExecutableFileIsItsOwnProgramButAnExecutableDocumentIsNot)
{
    TempDir dir;
    GioAssociations a;
    const std::string tool = dir.write("tool.csv", "#!/bin/sh\nexit 0\n");
    ::chmod(tool.c_str(), 0755);
    EXPECT_EQ(a.findExecutable(tool), tool);
    // Volumes mounted without permissions mark every file executable; such a document still
    // opens in its program.
    const std::string table = dir.write("table.csv", "a,b\n");
    ::chmod(table.c_str(), 0755);
    EXPECT_EQ(a.findExecutable(table), test::TestDesktop().recorder);
    EXPECT_FALSE(IsProgramFile(dir.path()));
}

TEST(GioAssociationsTest, OpenWithListShowsTheTypesApplicationsDefaultFirst)
{
    const auto apps = ApplicationsForItem("/nowhere/data.csv");
    ASSERT_EQ(apps.size(), 2u);  // the entry whose program is missing is left out
    EXPECT_EQ(apps[0].id, "tessaly-test-viewer.desktop");
    EXPECT_EQ(apps[0].name, "Test Viewer");
    EXPECT_EQ(apps[0].program, test::TestDesktop().recorder);
    EXPECT_EQ(apps[0].icon, "text-x-generic");
    EXPECT_EQ(apps[1].name, "Test Editor");
    EXPECT_TRUE(ApplicationsForItem("/nowhere/file.zzqqy").empty());
}

// --- Launching ----------------------------------------------------------------------------------

TEST(LauncherTest, ParametersArriveAsOneArgumentEachWithoutAShell)
{
    test::ClearRecorder();
    const std::vector<std::string> args{"/p/my doc.txt:notes", "", "\"quoted\" 'x'", "$HOME;|*", "-"};
    const LaunchResult r = LinuxLauncher().launch("", test::TestDesktop().recorder, args);
    EXPECT_GT(r.code, 32);
    EXPECT_EQ(r.lastError, 0u);
    ASSERT_TRUE(test::WaitForRecorder());
    EXPECT_EQ(test::RecordedArgs(), argsOf({"/p/my doc.txt:notes", "", "\"quoted\" 'x'", "$HOME;|*", "-"}));
    // Detached: the program is no child of ours, so nothing is left to reap.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(LauncherTest, FailuresFollowTheShellsNumbers)
{
    TempDir dir;
    LinuxLauncher launcher;
    LaunchResult r = launcher.launch("", dir.file("missing"), {});
    EXPECT_EQ(r.code, LaunchFileNotFound);
    EXPECT_EQ(r.lastError, std::uint32_t(ENOENT));
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(launcher.launch("", "", {}).code, LaunchFileNotFound);
    EXPECT_EQ(launcher.launch("", "no-such-program-anywhere", {}).code, LaunchFileNotFound);
    // A bare name is a file of the current folder, never a program found in PATH.
    EXPECT_EQ(launcher.launch("", "true", {}).code, LaunchFileNotFound);

    const std::string script = dir.write("script", "#!/bin/sh\n");
    ::chmod(script.c_str(), 0644);
    r = SpawnDetached(script, {});
    EXPECT_EQ(r.code, LaunchAccessDenied);
    EXPECT_EQ(r.lastError, std::uint32_t(EACCES));

    // A document without a program, and a verb that is not known.
    const std::string odd = dir.write("file.zzqqy", std::string("\0\1\2\3\xff\xfe", 6));
    r = launcher.launch("", odd, {});
    EXPECT_EQ(r.code, LaunchNoAssociation);
    EXPECT_EQ(r.lastError, NoAssociationError);
    EXPECT_EQ(launcher.launch("print", odd, {}).code, LaunchNoAssociation);
}

TEST(LauncherTest, DocumentsOpenInTheirDefaultApplication)
{
    TempDir dir;
    const std::string table = dir.write("my table.csv", "x,y\n");
    for (const char* verb : {"", "OPEN"}) {
        test::ClearRecorder();
        const LaunchResult r = LinuxLauncher().launch(verb, table, {"ignored"});
        EXPECT_GT(r.code, 32) << r.message;
        ASSERT_TRUE(test::WaitForRecorder());
        EXPECT_EQ(test::RecordedArgs(), argsOf({table}));
        EXPECT_EQ(test::RecordedContent(), "x,y\n");
    }
}

// --- The work place -----------------------------------------------------------------------------

TEST(WorkPlaceTest, FolderIsPrivateAndMendedOrReplacedWhenTampered)
{
    TempDir dir;
    const std::string place = dir.file("place");
    LinuxWorkPlace work(place);
    auto folder = work.folder();
    ASSERT_TRUE(folder.ok()) << folder.error().message;
    EXPECT_EQ(folder.value(), place + "/");
    EXPECT_EQ(modeOf(place) & 07777, 0700u);

    ::chmod(place.c_str(), 0777);
    ASSERT_TRUE(work.folder().ok());
    EXPECT_EQ(modeOf(place) & 07777, 0700u);

    // A symbolic link where the folder belongs is not followed: it is replaced by a folder.
    const std::string elsewhere = dir.file("elsewhere");
    std::filesystem::create_directory(elsewhere);
    std::filesystem::remove_all(place);
    std::filesystem::create_directory_symlink(elsewhere, place);
    ASSERT_TRUE(work.folder().ok());
    EXPECT_TRUE(S_ISDIR(modeOf(place)));
    ASSERT_TRUE(work.exportReadOnly("x.txt", "data").ok());
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/x.txt"));
}

TEST(WorkPlaceTest, DefaultPlaceIsUnderTheRuntimeFolder)
{
    EXPECT_EQ(DefaultWorkPlaceFolder(), test::TestDesktop().root + "/runtime/Tessaly");
}

TEST(WorkPlaceTest, ExportsAreFreshReadOnlyFilesNeverWrittenThroughALink)
{
    TempDir dir;
    LinuxWorkPlace work(dir.file("place"));
    ASSERT_TRUE(work.folder().ok());
    const std::string victim = dir.write("victim", "keep me");
    std::filesystem::create_symlink(victim, dir.file("place/notes"));

    auto exported = work.exportReadOnly("notes", "stream bytes");
    ASSERT_TRUE(exported.ok()) << exported.error().message;
    EXPECT_EQ(exported.value(), dir.file("place/notes"));
    EXPECT_EQ(slurp(victim), "keep me");
    EXPECT_TRUE(S_ISREG(modeOf(exported.value())));
    EXPECT_EQ(modeOf(exported.value()) & 0777, 0444u);
    EXPECT_EQ(slurp(exported.value()), "stream bytes");

    // A second export of the same name replaces the read-only first one.
    ASSERT_TRUE(work.exportReadOnly("notes", "newer").ok());
    EXPECT_EQ(slurp(exported.value()), "newer");

    for (const char* bad : {"", ".", "..", "a/b"})
        EXPECT_EQ(work.exportReadOnly(bad, "x").ok(), false) << bad;
    std::filesystem::create_directory(dir.file("place/sub"));
    EXPECT_TRUE(work.clearEntry("sub").has_value());
    EXPECT_FALSE(work.clearEntry("not-there").has_value());
}

// Exports of two files' same-named streams do not meet, and a copy the user changed is never
// replaced: the next export of that name takes a new one.
TEST(WorkPlaceTest, ExportsNeverReplaceAnotherFilesCopyOrAChangedOne)
{
    TempDir dir;
    LinuxWorkPlace work(dir.file("place"));
    auto first = work.exportFor("/p/doc.txt", "notes.txt", "of doc");
    auto second = work.exportFor("/q/doc.txt", "notes.txt", "of the other doc");
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_NE(first.value(), second.value());
    EXPECT_EQ(slurp(first.value()), "of doc");

    // Unchanged, the copy is renewed in place; changed by the user, it stays and the new copy is
    // written beside it under a new name.
    auto again = work.exportFor("/p/doc.txt", "notes.txt", "of doc, later");
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), first.value());
    ::chmod(first.value().c_str(), 0644);
    std::ofstream(first.value(), std::ios::app) << " and the user's edit";
    auto renamed = work.exportFor("/p/doc.txt", "notes.txt", "newest");
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ(renamed.value(), dir.file("place/" + LinuxWorkPlace::OwnerFolderName("/p/doc.txt") + "/notes (2).txt"));
    EXPECT_EQ(slurp(first.value()), "of doc, later and the user's edit");
    EXPECT_EQ(slurp(renamed.value()), "newest");
}

TEST(WorkPlaceTest, CopyAndOpenDoesNotWriteThroughAPlantedLink)
{
    TempDir dir;
    const std::string victim = dir.write("victim", "keep me");
    const std::string item = dir.write("memo.zzqqy", "copied");
    LinuxWorkPlace work(dir.file("place"));
    ASSERT_TRUE(work.folderFor(item).ok());
    const std::string own = dir.file("place/" + LinuxWorkPlace::OwnerFolderName(item));
    std::filesystem::create_symlink(victim, own + "/memo.zzqqy");

    LinuxFileSystem fs;
    GioAssociations associations;
    test::RecordingSink sink;
    OperationLog log(sink);
    struct NoLaunch final : Launcher {
        LaunchResult launch(const std::string&, const std::string&, const std::vector<std::string>&) override
        {
            return {LaunchSucceeded, 0, "Success"};
        }
        LaunchResult openWith(const Application&, const std::string&) override { return {LaunchSucceeded, 0, "Success"}; }
        bool executeBitMeansNothing(const std::string&) override { return false; }
    } launcher;
    LinuxShellPaths paths;
    ItemOpener opener(fs, associations, launcher, paths, work, log);
    EXPECT_FALSE(opener.CopyOpen2Click(ItemToOpen{item, ResolveItemText(fs, item)}));
    EXPECT_EQ(slurp(victim), "keep me");
    EXPECT_TRUE(S_ISREG(modeOf(own + "/memo.zzqqy")));
    EXPECT_EQ(slurp(own + "/memo.zzqqy"), "copied");

    // A program's copy is a document like any other: it opens as text (a script is text) and
    // never runs.
    const std::string tool = dir.write("tool", "#!/bin/sh\necho ran > \"$(dirname \"$0\")/../ran\"\n");
    ::chmod(tool.c_str(), 0755);
    LinuxLauncher realLauncher;
    ItemOpener running(fs, associations, realLauncher, paths, work, log);
    sink.lines.clear();
    test::ClearRecorder();
    EXPECT_FALSE(running.CopyOpen2Click(ItemToOpen{tool, ResolveItemText(fs, tool)}));
    const std::string toolCopy = dir.file("place/" + LinuxWorkPlace::OwnerFolderName(tool) + "/tool");
    EXPECT_EQ(sink.bodies().at(1), "関連付けで起動  " + toolCopy);
    ASSERT_TRUE(test::WaitForRecorder());
    EXPECT_EQ(test::RecordedArgs(), argsOf({toolCopy}));
    EXPECT_NE(::access(dir.file("ran").c_str(), F_OK), 0);
    EXPECT_EQ(modeOf(toolCopy) & 0111, 0u);
}

// --- Shell links ----------------------------------------------------------------------------------

TEST(ShellLinkTest, TargetIsReadAndUnreadableLinksGiveNothing)
{
    TempDir dir;
    const std::string link = dir.write("app.lnk", test::MakeLink("C:\\Program Files\\App\\app.exe"));
    EXPECT_EQ(ReadShellLinkTarget(link), "C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(ReadShellLinkArguments(link), "");
    const std::string withArguments = dir.write("run.lnk", test::MakeLink("C:\\x.exe", "/c \"del *\""));
    EXPECT_EQ(ReadShellLinkArguments(withArguments), "/c \"del *\"");
    EXPECT_EQ(ReadShellLinkTarget(dir.write("junk.lnk", "not a link at all, just text")), "");
    EXPECT_EQ(ReadShellLinkTarget(dir.file("missing.lnk")), "");
    EXPECT_EQ(LinuxShellPaths().longPathOf("/a/B~1/c"), "/a/B~1/c");
}

// --- End to end -----------------------------------------------------------------------------------

TEST(OpenEndToEndTest, DoubleClickedStreamReachesItsProgramAsAnExportedFile)
{
    TempDir dir;
    if (!dir.supportsUserAttributes())
        GTEST_SKIP() << "no user attributes in " << dir.path();
    const std::string parent = dir.write("doc.txt", "parent");
    ASSERT_TRUE(test::SetStream(parent, "table.csv", "a,b\n1,2\n"));
    const std::string place = dir.file("place");

    LinuxFileSystem fs;
    GioAssociations associations;
    LinuxLauncher launcher;
    LinuxShellPaths paths;
    LinuxWorkPlace work(place);
    test::RecordingSink sink;
    OperationLog log(sink);
    ItemOpener opener(fs, associations, launcher, paths, work, log);

    test::ClearRecorder();
    const std::string X = parent + ":table.csv";
    opener.TreeView1DblClick(ItemToOpen{X, ResolveItemText(fs, X)});
    const std::string recorder = test::TestDesktop().recorder;
    EXPECT_EQ(sink.bodies(), (std::vector<std::string>{"関連プログラム起動 " + recorder + " " + X, "42,0:Success"}));
    ASSERT_TRUE(test::WaitForRecorder());
    const std::string copy = place + "/" + LinuxWorkPlace::OwnerFolderName(parent) + "/table.csv";
    EXPECT_EQ(test::RecordedArgs(), argsOf({copy}));
    EXPECT_EQ(test::RecordedContent(), "a,b\n1,2\n");
    EXPECT_EQ(modeOf(copy) & 0777, 0444u);
}

}  // namespace

int main(int argc, char** argv)
{
    test::TempDir root;
    test::MakeTestDesktop(root.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
