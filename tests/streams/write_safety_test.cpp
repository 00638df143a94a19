// Every write leaves its target as it was or as intended, and never writes where it may not: one
// table per kind of fault, each row a volume, a moment of a kill, or a kind of target.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "platform/linux/linux_filesystem.h"
#include "platform/linux/unfinished.h"
#include "support/ntfs_volume.h"
#include "support/process.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

using namespace tessaly;
using test::ProcessResult;

namespace {

// An ntfs-3g volume per stream interface, made once per test process.
struct Ntfs {
    explicit Ntfs(bool windows)
    {
        reason = test::NtfsVolume::unavailableReason();
        if (!reason.empty())
            return;
        volume = std::make_unique<test::NtfsVolume>(dir.path());
        reason = volume->format(32ull << 20);
        if (reason.empty())
            reason = volume->mount(windows ? "streams_interface=windows" : "");
    }
    test::TempDir dir;
    std::unique_ptr<test::NtfsVolume> volume;
    std::string reason;
};

Ntfs& ntfs(bool windows)
{
    static Ntfs attributes(false);
    static Ntfs paths(true);
    return windows ? paths : attributes;
}

enum class Volume { Ext4, NtfsAttributes, NtfsWindows };
constexpr const char* VolumeNames[] = {"Ext4", "NtfsAttributes", "NtfsWindows"};

// A fresh folder on the volume, or why there is none.
std::string folderOn(Volume v, const test::TempDir& dir, const std::string& name, std::string& skip)
{
    if (v == Volume::Ext4) {
        if (!dir.supportsUserAttributes())
            skip = "no user attributes on the test folder's file system";
        std::filesystem::create_directory(dir.file(name));
        return dir.file(name);
    }
    Ntfs& m = ntfs(v == Volume::NtfsWindows);
    skip = m.reason;
    if (!skip.empty())
        return {};
    const std::string folder = m.volume->path(name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    return folder;
}

void setStream(Volume v, const std::string& file, const std::string& name, const std::string& value)
{
    if (v == Volume::NtfsWindows) {
        std::ofstream(file + ":" + name, std::ios::binary) << value;
    } else {
        ASSERT_TRUE(test::SetStream(file, name, value));
    }
}

std::string streamOf(const std::string& file, const std::string& name)
{
    LinuxFileSystem fs;
    auto value = fs.readItem({file, name});
    return value.ok() ? value.value() : "<none>";
}

test::ProcessOptions withInput(std::string input)
{
    test::ProcessOptions options;
    options.input = std::move(input);
    return options;
}

ProcessResult cli(std::vector<std::string> args, const test::ProcessOptions& options = {})
{
    args.insert(args.begin(), TESSALY_CLI);
    return test::RunProcess(args, options);
}

std::string hiddenIn(const std::string& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(SaveTempPrefix, 0) == 0)
            return entry.path();
    return {};
}

// Runs work in a child that ends without any clean-up of its own, as a killed process does.
void diesMidway(const std::function<void()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// The clean-up at start settles exactly what a cut-off write left, and nothing written after it.
enum class Left { TempFile, TempNameTakenByAnother, CopyCutOff, CopyCutOffThenRewritten, SpoolHalfFilled };
struct CleanCase {
    Volume volume;
    Left left;
};

class CleanUpTest : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanUpTest, SettlesOnlyWhatItsOwnWriteLeft)
{
    const auto [volume, left] = GetParam();
    test::TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    std::string skip;
    const std::string folder = folderOn(volume, dir, "clean", skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    const std::string file = folder + "/doc.txt";
    std::ofstream(file) << "old data";
    const bool stream = volume == Volume::NtfsWindows;
    const std::string target = stream ? file + ":notes" : file;
    const std::string newData(3 << 20, 'n');
    std::string temp;

    if (left == Left::TempFile || left == Left::TempNameTakenByAnother) {
        diesMidway([&] {
            std::string name = folder + "/" + SaveTempPrefix + "XXXXXX";
            const int fd = ::mkstemp(name.data());
            auto note = UnfinishedNote::forTempFile(name);
            (void)!::write(fd, "half", 4);
            std::ofstream(dir.file("temp-name")) << name;
            ::_exit(0);  // killed: the note stays without its holder
        });
        temp = test::ReadFile(dir.file("temp-name"));
        if (left == Left::TempNameTakenByAnother) {
            std::ofstream(folder + "/other") << "someone's file";
            ASSERT_EQ(::rename((folder + "/other").c_str(), temp.c_str()), 0);
        }
    } else {
        diesMidway([&] {
            auto spool = MakeSpool();
            const std::string half = newData.substr(0, newData.size() / 2);
            (void)!::write(spool.value().fd.get(), half.data(), half.size());
            UnfinishedNote note = UnfinishedNote::forCopy(target, spool.value().path, file);
            if (left != Left::SpoolHalfFilled) {
                (void)!::write(spool.value().fd.get(), half.data(), half.size());
                const int out = ::open(target.c_str(), O_WRONLY | O_CREAT, 0644);
                note.copying(out, 0);
                (void)!::write(out, half.data(), 1 << 20);
                note.copying(out, 1 << 20);
                (void)!::write(out, half.data(), 1 << 19);  // killed within the next piece
            }
            ::_exit(0);  // killed: neither the note nor the spool goes
        });
        if (left == Left::CopyCutOffThenRewritten)
            std::ofstream(target, std::ios::binary) << "written completely afterwards";
    }

    CleanUnfinishedWrites();

    switch (left) {
    case Left::TempFile:
        EXPECT_FALSE(std::filesystem::exists(temp));
        break;
    case Left::TempNameTakenByAnother:
        EXPECT_EQ(test::ReadFile(temp), "someone's file");
        break;
    case Left::CopyCutOff:
        EXPECT_TRUE(test::ReadFile(target) == newData) << "the cut-off copy was not completed";
        break;
    case Left::CopyCutOffThenRewritten:
        EXPECT_EQ(test::ReadFile(target), "written completely afterwards");
        break;
    case Left::SpoolHalfFilled:
        EXPECT_EQ(test::ReadFile(target), stream ? "" : "old data");
        break;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("cache/Tessaly/unfinished")))
        ADD_FAILURE() << "left behind: " << entry.path();
    ::unsetenv("XDG_CACHE_HOME");
}

std::vector<CleanCase> cleanCases()
{
    std::vector<CleanCase> cases;
    for (Volume v : {Volume::Ext4, Volume::NtfsWindows})
        for (Left l : {Left::TempFile, Left::TempNameTakenByAnother, Left::CopyCutOff, Left::CopyCutOffThenRewritten,
                       Left::SpoolHalfFilled})
            if (v == Volume::Ext4 || (l != Left::TempFile && l != Left::TempNameTakenByAnother))
                cases.push_back({v, l});
    return cases;
}

std::string cleanName(const ::testing::TestParamInfo<CleanCase>& info)
{
    static constexpr const char* lefts[] = {"TempFile", "TempNameTakenByAnother", "CopyCutOff",
                                            "CopyCutOffThenRewritten", "SpoolHalfFilled"};
    return std::string(VolumeNames[int(info.param.volume)]) + "_" + lefts[int(info.param.left)];
}

INSTANTIATE_TEST_SUITE_P(Rows, CleanUpTest, ::testing::ValuesIn(cleanCases()), cleanName);

// Saving the whole onto one of its own children, where the save goes in place: the child is read
// as it was before the target changed.
class OwnSourceTest : public ::testing::TestWithParam<Volume> {};

TEST_P(OwnSourceTest, TheChildIsReadBeforeTheTargetChanges)
{
    const Volume volume = GetParam();
    test::TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    std::string skip;
    const std::string folder = folderOn(volume, dir, "own", skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    const std::string parent = folder + "/doc.txt";
    const std::string child = folder + "/child.bin";
    std::ofstream(parent) << "parent data";
    std::ofstream(child) << "child data";
    if (volume == Volume::Ext4) {  // a second link keeps the save in place
        ASSERT_EQ(::link(child.c_str(), (folder + "/second").c_str()), 0);
    }

    const ProcessResult r = test::RunProcess({SAVE_PROBE, "saveas", child, "0", parent, child});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(child), "parent data");
    EXPECT_EQ(streamOf(child, "child.bin"), "child data");
    ::unsetenv("XDG_CACHE_HOME");
}

INSTANTIATE_TEST_SUITE_P(Rows, OwnSourceTest,
                         ::testing::Values(Volume::Ext4, Volume::NtfsAttributes, Volume::NtfsWindows),
                         [](const auto& info) { return std::string(VolumeNames[int(info.param)]); });

// Replacing a stream on ntfs-3g: a full volume, a kill while the source is still being read, or
// a second writer at the same moment leave the old stream or a whole new one.
enum class Trouble { FullVolume, Sigint, Sigterm, Sigkill, TwoWriters };
struct ReplaceCase {
    Volume volume;
    Trouble trouble;
};

class StreamReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

// Starts `put --replace file notes -` with a pipe for its input; returns the pid and the pipe.
std::pair<pid_t, int> startPut(const std::string& file)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {-1, -1};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[0], 0);
        ::close(fds[1]);
        ::execl(TESSALY_CLI, TESSALY_CLI, "put", "--replace", file.c_str(), "notes", "-", nullptr);
        ::_exit(127);
    }
    ::close(fds[0]);
    return {pid, fds[1]};
}

TEST_P(StreamReplaceTest, LeavesTheOldStreamOrAWholeNewOne)
{
    const auto [volume, trouble] = GetParam();
    test::TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    std::string skip;
    const std::string folder = folderOn(volume, dir, "replace", skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    const std::string file = folder + "/doc.txt";
    std::ofstream(file) << "data";
    const std::string old = "old notes";
    setStream(volume, file, "notes", old);
    // Through attributes a stream holds at most 64 KiB.
    const std::size_t size = volume == Volume::NtfsAttributes ? 60000 : 4 << 20;
    const std::string a(size, 'a'), b(size, 'b');

    if (trouble == Trouble::FullVolume) {
        const std::string filler = folder + "/filler";
        {
            std::ofstream out(filler, std::ios::binary);
            const std::string piece(1 << 16, 'f');
            while (out.write(piece.data(), piece.size()) && out.flush()) {
            }
        }
        const ProcessResult r = cli({"put", "--replace", file, "notes", "-"}, withInput(a));
        std::filesystem::remove(filler);
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_EQ(streamOf(file, "notes"), old);
    } else if (trouble == Trouble::TwoWriters) {
        const auto first = startPut(file);
        const auto second = startPut(file);
        std::thread feedA([&] { (void)!::write(first.second, a.data(), a.size()); ::close(first.second); });
        std::thread feedB([&] { (void)!::write(second.second, b.data(), b.size()); ::close(second.second); });
        feedA.join();
        feedB.join();
        int s1 = 0, s2 = 0;
        ::waitpid(first.first, &s1, 0);
        ::waitpid(second.first, &s2, 0);
        const std::string now = streamOf(file, "notes");
        EXPECT_TRUE(now == a || now == b) << "a mixture of " << now.size() << " bytes";
    } else {
        const auto [pid, input] = startPut(file);
        (void)!::write(input, a.data(), a.size() / 2);
        // The source is half read: the worst moment for a writer that writes as it reads.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (test::BytesRead(pid) < a.size() / 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(pid, trouble == Trouble::Sigint ? SIGINT : trouble == Trouble::Sigterm ? SIGTERM : SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(input);
        EXPECT_TRUE(WIFSIGNALED(status));
        CleanUnfinishedWrites();
        EXPECT_EQ(streamOf(file, "notes"), old);
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir.file("cache/Tessaly/unfinished"), ec))
            ADD_FAILURE() << "left behind: " << entry.path();
    }
    ::unsetenv("XDG_CACHE_HOME");
}

std::vector<ReplaceCase> replaceCases()
{
    std::vector<ReplaceCase> cases;
    for (Volume v : {Volume::NtfsAttributes, Volume::NtfsWindows})
        for (Trouble t : {Trouble::FullVolume, Trouble::Sigint, Trouble::Sigterm, Trouble::Sigkill, Trouble::TwoWriters})
            cases.push_back({v, t});
    return cases;
}

std::string replaceName(const ::testing::TestParamInfo<ReplaceCase>& info)
{
    static constexpr const char* troubles[] = {"FullVolume", "Sigint", "Sigterm", "Sigkill", "TwoWriters"};
    return std::string(VolumeNames[int(info.param.volume)]) + "_" + troubles[int(info.param.trouble)];
}

INSTANTIATE_TEST_SUITE_P(Rows, StreamReplaceTest, ::testing::ValuesIn(replaceCases()), replaceName);

// Where a write may not go or may not follow: outputs that are links to pipes and devices, links
// planted in shared sticky folders, and the names a Samba server keeps for itself.
enum class Where { LinkToPipe, LinkToNull, LinkToFolder, ForeignLinkInSticky, OwnLinkInSticky, ServerName,
                   ServerNameOtherCase, ServerStreamRaw, OrdinaryName };
class WhereTest : public ::testing::TestWithParam<Where> {};

TEST_P(WhereTest, WritesThroughOrRefusesButNeverReplaces)
{
    const Where where = GetParam();
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "planting another user's link needs root";
    test::TempDir dir;
    if (!dir.supportsUserAttributes())
        GTEST_SKIP() << "no user attributes here";
    const std::string scanned = dir.file("scanned");
    std::filesystem::create_directory(scanned);
    std::ofstream(scanned + "/a.txt") << "a";
    ASSERT_TRUE(test::SetStream(scanned + "/a.txt", "s", "v"));
    const std::string sticky = dir.file("shared");
    std::filesystem::create_directory(sticky);
    ::chmod(sticky.c_str(), 01777);
    const std::string victim = dir.write("victim.txt", "victim data");
    const std::string link = sticky + "/link";

    ProcessResult r;
    switch (where) {
    case Where::LinkToPipe:
        // /dev/stdout leads through /proc/self/fd/1 to the pipe the test reads.
        r = cli({"scan", scanned, "-o", "/dev/stdout"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("a.txt"), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));
        break;
    case Where::LinkToNull:
        ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
        r = cli({"scan", scanned, "-o", link});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        break;
    case Where::LinkToFolder:
        ASSERT_EQ(::symlink(scanned.c_str(), link.c_str()), 0);
        r = cli({"scan", scanned, "-o", link});
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        break;
    case Where::ForeignLinkInSticky:
    case Where::OwnLinkInSticky: {
        ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
        const uid_t owner = where == Where::ForeignLinkInSticky ? test::kUnprivilegedId : 0;
        ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
        const ProcessResult put = cli({"put", link, "s"}, withInput("planted"));
        r = cli({"scan", scanned, "-o", link});
        const bool refused = where == Where::ForeignLinkInSticky;
        EXPECT_EQ(put.exitCode, refused ? 3 : 0) << put.err;
        EXPECT_EQ(r.exitCode, refused ? 3 : 0) << r.err;
        EXPECT_EQ(test::StreamValue(victim, "s"), refused ? "<none>" : "planted");
        EXPECT_EQ(test::ReadFile(victim) == "victim data", refused);
        break;
    }
    case Where::ServerName:
    case Where::ServerNameOtherCase:
    case Where::ServerStreamRaw:
    case Where::OrdinaryName: {
        const char* names[] = {"DOSATTRIB", "samba_pai", "DosStream.x:$DATA", "DOSATTRIB.txt"};
        const std::string name = names[int(where) - int(Where::ServerName)];
        r = cli({"put", victim, name}, withInput("x"));
        const bool refused = where != Where::OrdinaryName;
        EXPECT_EQ(r.exitCode, refused ? 3 : 0) << r.err;
        EXPECT_EQ(test::StreamValue(victim, name), refused ? "<none>" : "x");
        break;
    }
    }
}

std::string whereName(const ::testing::TestParamInfo<Where>& info)
{
    static constexpr const char* names[] = {"LinkToPipe",      "LinkToNull", "LinkToFolder",
                                            "ForeignLinkInSticky", "OwnLinkInSticky", "ServerName",
                                            "ServerNameOtherCase", "ServerStreamRaw", "OrdinaryName"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Rows, WhereTest, ::testing::Values(Where::LinkToPipe, Where::LinkToNull, Where::LinkToFolder,
                                                            Where::ForeignLinkInSticky, Where::OwnLinkInSticky,
                                                            Where::ServerName, Where::ServerNameOtherCase,
                                                            Where::ServerStreamRaw, Where::OrdinaryName),
                         whereName);

// A replaced file carries exactly the old one's access: no access list from the folder's default,
// and attributes an ordinary user cannot even list are kept (the write goes in place).
enum class Access { RootInDefaultAclFolder, UserWithTrustedAttribute };
class AccessTest : public ::testing::TestWithParam<Access> {};

std::string attribute(const std::string& path, const char* name)
{
    char value[256];
    const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? "<none>" : std::string(value, std::size_t(n));
}

TEST_P(AccessTest, TheReplacedFileKeepsExactlyItsAccess)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "setting trusted attributes and running as another user need root";
    test::TempDir dir;
    if (!dir.supportsUserAttributes())
        GTEST_SKIP() << "no user attributes here";
    ::chmod(dir.path().c_str(), 0755);
    const std::string folder = dir.file("case");
    std::filesystem::create_directory(folder);
    const std::string source = dir.write("case/source.txt", "new data");
    const std::string target = dir.write("case/target.txt", "old data");
    ::chmod(target.c_str(), 0600);
    const bool asUser = GetParam() == Access::UserWithTrustedAttribute;
    if (asUser) {
        ASSERT_EQ(::setxattr(target.c_str(), "trusted.mark", "t", 1, 0), 0);
        test::GiveToUnprivileged(folder);
    } else {
        // Default entries: the owner rw, user 4321 r, group r, mask r, others nothing.
        const std::uint32_t acl[] = {2, 0x00060001, 0xffffffff, 0x00040002, 4321, 0x00040004, 0xffffffff,
                                     0x00040010, 0xffffffff, 0x00000020, 0xffffffff};
        if (::setxattr(folder.c_str(), "system.posix_acl_default", acl, sizeof acl, 0) != 0)
            GTEST_SKIP() << "no access lists here: " << std::strerror(errno);
    }
    const std::string before = attribute(target, "system.posix_acl_access");

    std::vector<std::string> argv{SAVE_PROBE, "saveone", target, "0", source};
    ProcessResult r;
    if (asUser) {
        const test::ChildRun run = test::RunUnprivileged(argv);
        r.exitCode = run.status;
        r.out = run.output;
    } else {
        r = test::RunProcess(argv);
    }
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(target), "new data");
    EXPECT_EQ(attribute(target, "system.posix_acl_access"), before);
    EXPECT_EQ(attribute(target, "trusted.mark"), asUser ? "t" : "<none>");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

INSTANTIATE_TEST_SUITE_P(Rows, AccessTest,
                         ::testing::Values(Access::RootInDefaultAclFolder, Access::UserWithTrustedAttribute),
                         [](const auto& info) {
                             return std::string(info.param == Access::RootInDefaultAclFolder ? "RootInDefaultAclFolder"
                                                                                            : "UserWithTrustedAttribute");
                         });

// Every signal that ends `scan -o` takes its hidden file with it; the old output stays, or with a
// first Ctrl+C the whole document written so far takes its place.
class ScanSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(ScanSignalTest, NoHiddenFileOutlivesTheScan)
{
    const int signal = GetParam();
    test::TempDir dir;
    const std::string scanned = dir.file("tree");
    std::filesystem::create_directory(scanned);
    for (int i = 0; i < 30000; ++i)
        std::ofstream(scanned + "/f" + std::to_string(i));
    const std::string out = dir.write("out.txt", "old output");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::freopen("/dev/null", "w", stderr);
        ::execl(TESSALY_CLI, TESSALY_CLI, "scan", scanned.c_str(), "-o", out.c_str(), nullptr);
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (hiddenIn(dir.path()).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(hiddenIn(dir.path()), "");
    if (signal == SIGINT) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130);
    } else {
        ASSERT_TRUE(WIFSIGNALED(status)) << "the scan ended before the signal came";
        EXPECT_EQ(test::ReadFile(out), "old output");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ScanSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// `scan -o` onto a file with a second link (written in place) on a nearly full volume: the
// document's size is unknown until the scan ends, and the old file stays whole all the same.
TEST(InPlaceUnknownSizeTest, ANearlyFullVolumeKeepsTheOldFileWhole)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    test::TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    const std::string scanned = dir.file("tree");
    std::filesystem::create_directory(scanned);
    if (!dir.supportsUserAttributes())
        GTEST_SKIP() << "no user attributes here";
    for (int i = 0; i < 2000; ++i) {
        const std::string f = scanned + "/file-with-a-rather-long-name-" + std::to_string(i);
        std::ofstream(f) << "x";
        ASSERT_TRUE(test::SetStream(f, "s", "v"));
    }
    const std::string small = dir.file("small");
    std::filesystem::create_directory(small);
    ASSERT_EQ(::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    const std::string out = small + "/out.txt";
    const std::string old(64 << 10, 'o');
    std::ofstream(out) << old;
    ASSERT_EQ(::link(out.c_str(), (small + "/second").c_str()), 0);
    {
        std::ofstream filler(small + "/filler", std::ios::binary);
        const std::string piece(4096, 'f');
        while (filler.write(piece.data(), piece.size()) && filler.flush()) {
        }
    }
    const ProcessResult r = cli({"scan", scanned, "-o", out});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_TRUE(test::ReadFile(out) == old) << "the old file was cut off";
    ::umount2(small.c_str(), MNT_DETACH);
    ::unsetenv("XDG_CACHE_HOME");
}

}  // namespace
