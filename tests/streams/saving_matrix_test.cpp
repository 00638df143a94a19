// Every save command on every kind of volume against every kind of target: afterwards each stream,
// link, owner, mode and attribute that was there and was not meant to change is still there, byte
// for byte. The command runs in a process of its own (save_probe), as an ordinary user where the
// case needs one.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "platform/linux/linux_filesystem.h"
#include "platform/linux/unfinished.h"
#include "support/ntfs_volume.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

using namespace tessaly;

namespace {

enum class Command { Save, SaveAs, SaveOne };
enum class Volume { Ext4, SmallTmpfs, NtfsAttributes, NtfsWindows };
enum class Target { New, LinkedWithStreams, Parent, ReadOnlyAsUser };

struct Case {
    Command command;
    Volume volume;
    Target target;
};

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    static constexpr std::array commands{"Save", "SaveAs", "SaveOne"};
    static constexpr std::array volumes{"Ext4", "SmallTmpfs", "NtfsAttributes", "NtfsWindows"};
    static constexpr std::array targets{"New", "LinkedWithStreams", "Parent", "ReadOnlyAsUser"};
    return std::string(commands[int(info.param.command)]) + "_" + volumes[int(info.param.volume)] + "_" +
           targets[int(info.param.target)];
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (Command c : {Command::Save, Command::SaveAs, Command::SaveOne})
        for (Volume v : {Volume::Ext4, Volume::SmallTmpfs, Volume::NtfsAttributes, Volume::NtfsWindows})
            for (Target t : {Target::New, Target::LinkedWithStreams, Target::Parent, Target::ReadOnlyAsUser})
                cases.push_back({c, v, t});
    return cases;
}

// Everything about a file that a save may not lose.
struct Snapshot {
    bool exists = false;
    std::string data;
    std::map<std::string, std::string> streams;     // as the file layer lists and reads them
    std::map<std::string, std::string> attributes;  // every namespace the system lists
    ino_t ino = 0;
    nlink_t links = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
};

Snapshot take(const std::string& path)
{
    Snapshot s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.ino = st.st_ino;
    s.links = st.st_nlink;
    s.uid = st.st_uid;
    s.gid = st.st_gid;
    s.mode = st.st_mode;
    s.data = test::ReadFile(path);
    LinuxFileSystem fs;
    for (const auto& info : fs.listStreams(path)) {
        auto value = fs.readItem({path, info.name});
        s.streams[info.name] = value.ok() ? value.value() : "<unreadable>";
    }
    std::string names(65536, '\0');
    const ssize_t n = ::listxattr(path.c_str(), names.data(), names.size());
    for (std::size_t at = 0; n > 0 && at < std::size_t(n); at += std::strlen(names.c_str() + at) + 1) {
        std::string value(65536, '\0');
        const ssize_t got = ::getxattr(path.c_str(), names.c_str() + at, value.data(), value.size());
        value.resize(got < 0 ? 0 : std::size_t(got));
        s.attributes[names.c_str() + at] = value;
    }
    return s;
}

void expectSameFile(const Snapshot& before, const Snapshot& after, const std::string& what)
{
    EXPECT_EQ(after.exists, before.exists) << what;
    // A file of one link may be a new one in the old one's place; other links must still share it.
    if (before.links > 1) {
        EXPECT_EQ(after.ino, before.ino) << what << ": the links were split";
    }
    EXPECT_EQ(after.links, before.links) << what;
    EXPECT_EQ(after.uid, before.uid) << what;
    EXPECT_EQ(after.gid, before.gid) << what;
    EXPECT_EQ(after.mode, before.mode) << what;
}

struct ProbeResult {
    int status = -1;
    std::string output;
};

std::string probePath()
{
    return std::filesystem::canonical("/proc/self/exe").parent_path() / "save_probe";
}

ProbeResult runProbe(const std::vector<std::string>& args, bool unprivileged)
{
    std::vector<std::string> argv{probePath()};
    argv.insert(argv.end(), args.begin(), args.end());
    if (unprivileged) {
        const test::ChildRun run = test::RunUnprivileged(argv);
        return {run.status, run.output};
    }
    std::string command;
    for (const auto& a : argv)
        command += "'" + a + "' ";
    ProbeResult r;
    FILE* out = ::popen((command + "2>&1").c_str(), "r");
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, out))
        r.output.append(buf, n);
    const int status = ::pclose(out);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// An ntfs-3g volume per stream interface, made once per test process. Files appear owned by the
// ordinary user and read-only, which root writes all the same and the ordinary user may not.
struct NtfsMount {
    explicit NtfsMount(bool windows)
    {
        reason = test::NtfsVolume::unavailableReason();
        if (!reason.empty())
            return;
        ::chmod(dir.path().c_str(), 0755);
        volume = std::make_unique<test::NtfsVolume>(dir.path());
        reason = volume->format(96ull << 20);
        if (reason.empty())
            reason = volume->mount(std::string("allow_other,default_permissions,uid=65534,gid=65534,umask=0222") +
                                   (windows ? ",streams_interface=windows" : ""));
    }
    test::TempDir dir;
    std::unique_ptr<test::NtfsVolume> volume;
    std::string reason;
};

NtfsMount& ntfs(bool windows)
{
    if (windows) {
        static NtfsMount mount(true);
        return mount;
    }
    static NtfsMount mount(false);
    return mount;
}

class SavingMatrixTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        ::chmod(dir.path().c_str(), 0755);
        const Case c = GetParam();
        if ((c.volume == Volume::SmallTmpfs || c.target == Target::ReadOnlyAsUser) && !test::RunningAsRoot())
            GTEST_SKIP() << "mounting a small tmpfs and running a case as another user need root";
        switch (c.volume) {
        case Volume::Ext4:
            folder = dir.file("case");
            break;
        case Volume::SmallTmpfs:
            folder = dir.file("tmpfs");
            std::filesystem::create_directory(folder);
            ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=5m,mode=0755"), 0) << std::strerror(errno);
            mounted = folder;
            folder += "/case";
            break;
        case Volume::NtfsAttributes:
        case Volume::NtfsWindows: {
            windowsStreams = c.volume == Volume::NtfsWindows;
            NtfsMount& m = ntfs(windowsStreams);
            if (!m.reason.empty())
                GTEST_SKIP() << m.reason;
            folder = m.volume->path(caseName({c, 0}));
            break;
        }
        }
        std::filesystem::create_directory(folder);
        if (c.volume == Volume::Ext4 && !dir.supportsUserAttributes())
            GTEST_SKIP() << "no user attributes on the test folder's file system";
    }

    // Through the stream paths where the volume shows streams that way, as attributes otherwise.
    bool setStream(const std::string& file, const std::string& name, const std::string& value)
    {
        if (!windowsStreams)
            return test::SetStream(file, name, value);
        std::ofstream out(file + ":" + name, std::ios::binary);
        out << value;
        return bool(out);
    }
    void TearDown() override
    {
        if (!mounted.empty())
            ::umount2(mounted.c_str(), MNT_DETACH);
    }

    std::string write(const std::string& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    test::TempDir dir;
    std::string folder;
    std::string mounted;
    bool windowsStreams = false;
};

TEST_P(SavingMatrixTest, NothingThatWasThereIsLost)
{
    const Case c = GetParam();
    const bool ntfsVolume = c.volume == Volume::NtfsAttributes || c.volume == Volume::NtfsWindows;
    const bool asUser = c.target == Target::ReadOnlyAsUser;

    // Sources outside the volume under test: a small child for the whole saves, a larger one to save alone.
    const std::string outside = dir.file("outside");
    std::filesystem::create_directory(outside);
    const std::string memo = write(outside + "/memo.txt", "memo content");
    const std::string big = write(outside + "/big.bin", std::string(3 << 20, 'B'));

    const std::string parent = write(folder + "/doc.txt", "parent data");
    ASSERT_TRUE(setStream(parent, "notes", "old notes"));
    ASSERT_TRUE(setStream(parent, "pic.jpg", "JPEG"));
    if (!ntfsVolume) {
        // An owner that is not the saver's, a mode, an access list and an attribute of another namespace.
        ASSERT_EQ(::chown(parent.c_str(), 1234, 1235), 0);
        ASSERT_EQ(::chmod(parent.c_str(), 0640), 0);
        ASSERT_EQ(::setxattr(parent.c_str(), "trusted.tessaly-test", "t", 1, 0), 0);
        if (std::filesystem::exists("/usr/bin/setfacl"))
            std::system(("setfacl -m u:4321:r '" + parent + "' 2>/dev/null").c_str());
    }

    std::string target;
    std::string secondLink;
    switch (c.target) {
    case Target::New:
        target = c.command == Command::Save ? parent : folder + "/new.txt";
        break;
    case Target::Parent:
        target = parent;
        break;
    case Target::LinkedWithStreams:
    case Target::ReadOnlyAsUser:
        target = c.command == Command::Save ? parent : write(folder + "/other.txt", std::string(3 << 20, 'o'));
        if (target != parent) {
            ASSERT_TRUE(setStream(target, "own", "its own stream"));
            ASSERT_TRUE(setStream(target, "notes", "its own notes"));
        }
        if (c.target == Target::LinkedWithStreams) {
            secondLink = folder + "/second-link.txt";
            ASSERT_EQ(::link(target.c_str(), secondLink.c_str()), 0) << std::strerror(errno);
        }
        break;
    }
    if (asUser) {
        test::GiveToUnprivileged(outside);
        if (!ntfsVolume) {
            test::GiveToUnprivileged(folder);
            ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
        }
    }

    const Snapshot parentBefore = take(parent);
    const Snapshot targetBefore = take(target);
    std::vector<std::string> args;
    std::map<std::string, std::string> added;  // streams the command is to add to the target
    std::string newData;
    switch (c.command) {
    case Command::Save:
        args = {"save", "-", "0", parent, memo};
        added = {{"memo.txt", "memo content"}};
        newData = parentBefore.data;
        target = parent;
        break;
    case Command::SaveAs:
        args = {"saveas", target, "0", parent, memo};
        added = parentBefore.streams;
        added["memo.txt"] = "memo content";
        newData = parentBefore.data;
        break;
    case Command::SaveOne:
        // The parent saved onto itself, or the larger child onto the target.
        args = {"saveone", target, c.target == Target::Parent ? "0" : "3", parent, big};
        newData = c.target == Target::Parent ? parentBefore.data : std::string(3 << 20, 'B');
        break;
    }
    const ProbeResult result = runProbe(args, asUser);
    const Snapshot after = take(target);

    if (asUser) {
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find("error target " + std::to_string(EACCES)), std::string::npos) << result.output;
        EXPECT_EQ(after.data, targetBefore.data);
        EXPECT_EQ(after.streams, targetBefore.streams);
        EXPECT_EQ(after.attributes, targetBefore.attributes);
        expectSameFile(targetBefore, after, "refused target");
    } else {
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_TRUE(after.data == newData) << "target holds " << after.data.size() << " bytes";
        std::map<std::string, std::string> streams = targetBefore.streams;
        for (const auto& [name, value] : added)
            streams[name] = value;
        EXPECT_EQ(after.streams, streams);
        // Attributes other than streams stay as they were on a file that existed.
        if (targetBefore.exists) {
            auto others = [](std::map<std::string, std::string> all) {
                std::erase_if(all, [](const auto& kv) { return kv.first.rfind("user.", 0) == 0; });
                return all;
            };
            EXPECT_EQ(others(after.attributes), others(targetBefore.attributes));
            expectSameFile(targetBefore, after, "replaced target");
        }
        if (!secondLink.empty()) {
            const Snapshot link = take(secondLink);
            EXPECT_EQ(link.ino, after.ino);
            EXPECT_TRUE(link.data == after.data);
        }
    }
    if (target != parent) {
        const Snapshot parentAfter = take(parent);
        EXPECT_EQ(parentAfter.data, parentBefore.data);
        EXPECT_EQ(parentAfter.streams, parentBefore.streams);
        EXPECT_EQ(parentAfter.attributes, parentBefore.attributes);
        expectSameFile(parentBefore, parentAfter, "parent");
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_NE(entry.path().filename().string().rfind(".tessaly-save-", 0), 0u) << entry.path();
}

// An ordinary user replaces a file of theirs whose group they are not in: a new file could not
// carry that group, so the file is written in place and keeps it, with its streams.
TEST(SavingAsUserTest, AGroupTheUserCannotGiveIsKeptByWritingInPlace)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "only root can give a file a group its owner is not in";
    test::TempDir dir;
    if (!dir.supportsUserAttributes())
        GTEST_SKIP() << "no user attributes here";
    ::chmod(dir.path().c_str(), 0755);
    const std::string folder = dir.file("case");
    std::filesystem::create_directory(folder);
    const std::string parent = dir.write("case/doc.txt", "parent data");
    const std::string target = dir.write("case/target.txt", "old target data");
    ASSERT_TRUE(test::SetStream(target, "own", "its own stream"));
    test::GiveToUnprivileged(folder);
    ASSERT_EQ(::chown(target.c_str(), test::kUnprivilegedId, 1234), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0664), 0);
    const Snapshot before = take(target);

    const ProbeResult result = runProbe({"saveone", target, "0", parent}, true);
    ASSERT_EQ(result.status, 0) << result.output;
    const Snapshot after = take(target);
    EXPECT_EQ(after.data, "parent data");
    EXPECT_EQ(after.streams, before.streams);
    EXPECT_EQ(after.gid, 1234u);
    EXPECT_EQ(after.ino, before.ino);
    EXPECT_EQ(after.mode, before.mode);
}

// A save killed in the middle of a 600 MB item leaves the target with its old or its new data and
// the parent's other streams as they were; the next start removes what the kill left behind.
class KilledSaveTest : public ::testing::TestWithParam<bool> {
protected:
    static constexpr std::size_t ItemSize = 600u << 20;

    // Starts the probe, which stops itself half-way through the item; checks with progress() that
    // the save is in the middle, and kills it.
    void killMidway(const std::vector<std::string>& args, const std::function<std::uint64_t()>& progress)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TESSALY_PROBE_PAUSE", std::to_string(ItemSize / 2).c_str(), 1);
            std::vector<std::string> all{probePath()};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::freopen("/dev/null", "w", stdout);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
        const bool stopped = WIFSTOPPED(status);
        if (stopped) {
            EXPECT_GE(progress(), ItemSize / 4);
            EXPECT_LT(progress(), ItemSize) << "not in the middle";
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(stopped) << "the save ended before it reached the middle";
    }

    std::string hiddenTempIn(const std::string& folder, const std::string& prefix = ".tessaly-save-")
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.path().filename().string().rfind(prefix, 0) == 0)
                return entry.path();
        return {};
    }

    std::uint64_t sizeOf(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0;
    }

    test::TempDir dir;
};

TEST_P(KilledSaveTest, LeavesOldOrNewDataAndNothingHidden)
{
    const bool onNtfs = GetParam();
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    std::unique_ptr<test::NtfsVolume> volume;
    std::string folder = dir.file("ext4");
    if (onNtfs) {
        if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
            GTEST_SKIP() << reason;
        volume = std::make_unique<test::NtfsVolume>(dir.path());
        ASSERT_EQ(volume->format(800ull << 20), "");
        if (const std::string why = volume->mount("streams_interface=windows"); !why.empty())
            GTEST_SKIP() << why;
        folder = volume->mountPoint();
    } else {
        std::filesystem::create_directory(folder);
        if (!dir.supportsUserAttributes())
            GTEST_SKIP() << "no user attributes here";
    }
    const std::string parent = folder + "/doc.txt";
    std::ofstream(parent, std::ios::binary) << "old parent data";
    const auto setStream = [&](const std::string& name, const std::string& value) {
        if (onNtfs)
            std::ofstream(parent + ":" + name, std::ios::binary) << value;
        else
            ASSERT_TRUE(test::SetStream(parent, name, value));
    };
    setStream("notes", "old notes");
    setStream("pic.jpg", "JPEG");
    // The hidden file takes the parent's owner; the clean-up must know it all the same.
    if (!onNtfs && test::RunningAsRoot()) {
        ASSERT_EQ(::chown(parent.c_str(), 1234, 1234), 0);
    }
    const std::string big = dir.file("big.bin");
    {
        std::ofstream out(big, std::ios::binary);
        const std::string piece(1 << 20, 'N');
        for (std::size_t i = 0; i < ItemSize; i += piece.size())
            out << piece;
    }

    // A stream is written in place, so its new bytes gather in a private spool first; the kill
    // comes while that spool fills.
    const std::string spools = dir.file("cache/Tessaly/unfinished");
    if (onNtfs) {
        // The item becomes a new stream of the parent.
        killMidway({"save", "-", "0", parent, big}, [&] {
            const std::string spool = hiddenTempIn(spools, "spool-");
            return spool.empty() ? 0 : sizeOf(spool);
        });
    } else {
        // The item replaces the parent's own data.
        killMidway({"saveone", parent, "3", parent, big}, [&] {
            const std::string temp = hiddenTempIn(folder);
            return temp.empty() ? 0 : sizeOf(temp);
        });
    }

    // The kill left its half-done work behind...
    if (onNtfs)
        EXPECT_NE(hiddenTempIn(spools, "spool-"), "");
    else
        EXPECT_NE(hiddenTempIn(folder), "");
    CleanUnfinishedWrites();  // ...which the next start removes first

    LinuxFileSystem fs;
    const std::string data = test::ReadFile(parent);
    EXPECT_TRUE(data == "old parent data" || data.size() == ItemSize) << data.size() << " bytes";
    std::map<std::string, std::uint64_t> streams;
    for (const auto& s : fs.listStreams(parent))
        streams[s.name] = s.size;
    EXPECT_EQ(streams.count("big.bin") ? streams["big.bin"] : ItemSize, ItemSize) << "a half-written stream is left";
    streams.erase("big.bin");
    EXPECT_EQ(streams, (std::map<std::string, std::uint64_t>{{"notes", 9}, {"pic.jpg", 4}}));
    EXPECT_EQ(fs.readItem({parent, "notes"}).value(), "old notes");
    EXPECT_EQ(hiddenTempIn(folder), "");
    EXPECT_EQ(hiddenTempIn(dir.file("cache/Tessaly/unfinished")), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("cache/Tessaly/unfinished")));
    ::unsetenv("XDG_CACHE_HOME");
}

INSTANTIATE_TEST_SUITE_P(OnExt4AndNtfs, KilledSaveTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Ntfs3gStreamPaths" : "Ext4"); });

INSTANTIATE_TEST_SUITE_P(EveryCommandVolumeAndTarget, SavingMatrixTest, ::testing::ValuesIn(allCases()), caseName);

}  // namespace
