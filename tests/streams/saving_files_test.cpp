// Item copies and save commands on real files: user attributes in the test's folder, and a real
// NTFS volume through ntfs-3g.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/oplog.h"
#include "platform/linux/fd.h"
#include "platform/linux/linux_filesystem.h"
#include "streams/copy_item.h"
#include "streams/saving.h"
#include "streams/workspace.h"
#include "support/fake_filesystem.h"
#include "support/ntfs_volume.h"
#include "support/tempdir.h"

using namespace tessaly;
using Lines = std::vector<std::string>;

namespace {

Lines folderEntries(const std::string& folder)
{
    Lines names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Sets or clears the immutable flag, which stops even root from changing a file. False where the
// file system has no such flag.
bool setImmutable(const std::string& path, bool on)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    int flags = 0;
    if (!fd.valid() || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0)
        return false;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
}

// Caps the size of files this process may write, so that a write fails part-way (EFBIG) even for
// root; restored when it goes out of scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = old_;
        capped.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

class SavingFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dir.supportsUserAttributes())
            GTEST_SKIP() << "the temporary folder's file system does not take user attributes";
    }
    test::TempDir dir;
    LinuxFileSystem fs;
    test::RecordingSink sink;
    OperationLog log{sink};
    test::FakeIconList icons;
    Workspace ws;
    WorkspaceEditor editor{ws, fs, icons, log};
};

}  // namespace

TEST_F(SavingFilesTest, PlainTargetIsReplacedOnlyWhenTheCopyCompletes)
{
    const std::string source = dir.write("source.bin", std::string(3 << 20, 's'));
    const std::string target = dir.write("target.txt", "old content");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(test::SetStream(target, "keep", "x"));
    {
        FileSizeLimit limit(1 << 20);
        auto error = CopyItemData(fs, {source, {}}, {target, {}});
        ASSERT_TRUE(error);
        EXPECT_EQ(error->side, CopyError::Side::Target);
        EXPECT_EQ(error->error.code, EFBIG);
    }
    EXPECT_EQ(test::ReadFile(target), "old content");
    EXPECT_EQ(test::StreamValue(target, "keep"), "x");
    EXPECT_EQ(folderEntries(dir.path()), (Lines{"source.bin", "target.txt"}));  // no temporary left

    ASSERT_FALSE(CopyItemData(fs, {source, {}}, {target, {}}));
    EXPECT_EQ(test::ReadFile(target), std::string(3 << 20, 's'));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);  // the replaced file keeps its mode
    EXPECT_EQ(folderEntries(dir.path()), (Lines{"source.bin", "target.txt"}));
}

TEST_F(SavingFilesTest, ALinkedTargetIsWrittenThroughTheLink)
{
    std::filesystem::create_directory(dir.file("real"));
    const std::string real = dir.write("real/file.txt", "old");
    const std::string link = dir.file("link.txt");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    const std::string source = dir.write("source.txt", "new");
    ASSERT_FALSE(CopyItemData(fs, {source, {}}, {link, {}}));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(test::ReadFile(real), "new");
}

TEST_F(SavingFilesTest, ALinkSomeoneElsePlacedIsNeverFollowed)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "only root can make a link that belongs to another user";
    const std::string victim = dir.write("victim.txt", "not yours");
    const std::string link = dir.file("copy.txt");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    const std::string source = dir.write("source.txt", "new");
    ASSERT_FALSE(CopyItemData(fs, {source, {}}, {link, {}}));
    EXPECT_EQ(test::ReadFile(victim), "not yours");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(test::ReadFile(link), "new");
}

TEST_F(SavingFilesTest, SpecialFilesAreNeitherReadNorReplaced)
{
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string plain = dir.write("plain.txt", "data");

    // Reading a FIFO without a writer would wait for ever; it is refused at once.
    auto source = CopyItemData(fs, {fifo, {}}, {dir.file("out"), {}});
    ASSERT_TRUE(source);
    EXPECT_EQ(source->side, CopyError::Side::Source);
    EXPECT_NE(source->error.message.find("FIFO"), std::string::npos);
    EXPECT_FALSE(fs.pathExists(dir.file("out")));

    auto target = CopyItemData(fs, {plain, {}}, {fifo, {}});
    ASSERT_TRUE(target);
    EXPECT_EQ(target->side, CopyError::Side::Target);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    auto device = CopyItemData(fs, {"/dev/zero", {}}, {dir.file("zero"), {}});
    ASSERT_TRUE(device);
    EXPECT_EQ(device->side, CopyError::Side::Source);
    auto folder = CopyItemData(fs, {plain, {}}, {dir.path(), {}});
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->error.code, EISDIR);
}

TEST_F(SavingFilesTest, AttributeLimitsAreReportedAsSuch)
{
    const std::string file = dir.write("doc.txt", "main");
    // Beyond the kernel's 64 KiB: refused while the value grows, before anything is set.
    const std::string huge = dir.write("huge.bin", std::string(200 * 1024, 'h'));
    auto error = CopyItemData(fs, {huge, {}}, {file, "huge"});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->error.code, E2BIG);
    EXPECT_NE(error->error.message.find("拡張属性"), std::string::npos);
    EXPECT_EQ(test::StreamValue(file, "huge"), "<none>");

    // ext4 keeps a file's attributes within one block.
    const std::string block = dir.write("block.bin", std::string(8000, 'b'));
    error = CopyItemData(fs, {block, {}}, {file, "block"});
    if (!error)
        GTEST_SKIP() << "this file system takes 8000-byte attributes (no ext4 block limit to test)";
    EXPECT_EQ(error->error.code, ENOSPC);
    EXPECT_NE(error->error.message.find("拡張属性"), std::string::npos);
    EXPECT_NE(error->error.message.find("No space left on device"), std::string::npos);
}

TEST_F(SavingFilesTest, SaveUnderTheParentsOwnPathKeepsItsStreams)
{
    const std::string parent = dir.write("doc.txt", "parent data");
    ASSERT_TRUE(test::SetStream(parent, "notes", "old notes"));
    ASSERT_TRUE(test::SetStream(parent, "pic.jpg", "JPEG"));
    const std::string memo = dir.write("memo.txt", "memo content");
    editor.LoadIntoWorkspace(parent);
    editor.LoadIntoWorkspace(memo);

    // A child that fails: the file being assembled is dropped, the parent stays whole.
    std::filesystem::rename(memo, dir.file("elsewhere"));
    SaveOutcome outcome = SaveWholeAs(editor, parent);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->path, memo);
    EXPECT_EQ(test::ReadFile(parent), "parent data");
    EXPECT_EQ(test::StreamValue(parent, "notes"), "old notes");
    EXPECT_EQ(folderEntries(dir.path()), (Lines{"doc.txt", "elsewhere"}));
    std::filesystem::rename(dir.file("elsewhere"), memo);

    outcome = SaveWholeAs(editor, parent);
    ASSERT_FALSE(outcome.error) << outcome.error->error.message;
    EXPECT_EQ(test::ReadFile(parent), "parent data");
    EXPECT_EQ(test::StreamValue(parent, "notes"), "old notes");
    EXPECT_EQ(test::StreamValue(parent, "pic.jpg"), "JPEG");
    EXPECT_EQ(test::StreamValue(parent, "memo.txt"), "memo content");
    EXPECT_EQ(folderEntries(dir.path()), (Lines{"doc.txt", "memo.txt"}));
}

TEST_F(SavingFilesTest, ReadOnlyParentEndsTheSaveAtTheFirstStream)
{
    const std::string parent = dir.write("doc.txt", "parent data");
    const std::string memo = dir.write("memo.txt", "memo content");
    editor.LoadIntoWorkspace(parent);
    editor.LoadIntoWorkspace(memo);
    // chmod does not stop root; the immutable flag does (ext4, xfs, btrfs; not tmpfs).
    if (test::RunningAsRoot()) {
        if (!setImmutable(parent, true))
            GTEST_SKIP() << "running as root and this file system has no immutable flag to make a file read-only";
    } else {
        ASSERT_EQ(::chmod(parent.c_str(), 0444), 0);
    }
    const SaveOutcome outcome = SaveWhole(editor);
    if (test::RunningAsRoot())
        setImmutable(parent, false);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->side, CopyError::Side::Target);
    EXPECT_EQ(outcome.error->path, parent + ":memo.txt");
    EXPECT_TRUE(outcome.error->error.code == EPERM || outcome.error->error.code == EACCES);
    EXPECT_EQ(test::StreamValue(parent, "memo.txt"), "<none>");
    EXPECT_EQ(ws.nodeCount(), 2);
}

// The worked example on NTFS: children written through the attribute interface of ntfs-3g are the
// volume's real named streams, as the stream interface shows when mounted again; through that
// interface streams of any size are written in pieces.
TEST(SavingNtfsTest, ChildrenBecomeRealNamedStreams)
{
    if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    test::TempDir dir;
    test::NtfsVolume volume(dir.path());
    ASSERT_EQ(volume.format(24ull << 20), "");
    if (const std::string why = volume.mount(""); !why.empty())
        GTEST_SKIP() << "ntfs-3g could not mount the test volume: " << why;

    LinuxFileSystem fs;
    test::RecordingSink sink;
    OperationLog log{sink};
    test::FakeIconList icons;
    Workspace ws;
    WorkspaceEditor editor{ws, fs, icons, log};
    const std::string parent = volume.path("doc.txt");
    {
        std::ofstream(parent, std::ios::binary) << "parent data";
    }
    ASSERT_TRUE(test::SetStream(parent, "notes", "old notes"));
    const std::string memo = dir.write("memo.txt", "memo content");
    editor.LoadIntoWorkspace(parent);
    editor.LoadIntoWorkspace(memo);
    sink.lines.clear();
    SaveOutcome outcome = SaveWhole(editor);
    ASSERT_FALSE(outcome.error) << outcome.error->error.message;
    EXPECT_EQ(sink.bodies().at(3), "子ファイルで保存 " + parent + ":memo.txt");

    ASSERT_EQ(volume.mount("streams_interface=windows"), "");
    EXPECT_EQ(test::ReadFile(parent), "parent data");
    EXPECT_EQ(test::ReadFile(parent + ":notes"), "old notes");
    EXPECT_EQ(test::ReadFile(parent + ":memo.txt"), "memo content");
    std::string list(4096, '\0');
    const ssize_t n = ::getxattr(parent.c_str(), "ntfs.streams.list", list.data(), list.size());
    ASSERT_GT(n, 0);
    list.resize(std::size_t(n));
    EXPECT_NE(list.find("notes"), std::string::npos);
    EXPECT_NE(list.find("memo.txt"), std::string::npos);

    // A child far beyond the attribute limit, written as a stream path in pieces.
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 31 / 7);
    const std::string bigFile = dir.write("big.bin", big);
    editor.LoadIntoWorkspace(bigFile);
    outcome = SaveWhole(editor);
    ASSERT_FALSE(outcome.error) << outcome.error->error.message;
    EXPECT_TRUE(test::ReadFile(parent + ":big.bin") == big);
    EXPECT_EQ(test::ReadFile(parent + ":memo.txt"), "memo content");

    // Saving the whole under a new name on the volume carries every stream along.
    const std::string copy = volume.path("copy.txt");
    outcome = SaveWholeAs(editor, copy);
    ASSERT_FALSE(outcome.error) << outcome.error->error.message;
    EXPECT_EQ(test::ReadFile(copy), "parent data");
    EXPECT_EQ(test::ReadFile(copy + ":notes"), "old notes");
    EXPECT_TRUE(test::ReadFile(copy + ":big.bin") == big);

    // Through the attribute interface the big stream is out of reach either way, and both errors
    // say how to reach it.
    ASSERT_EQ(volume.mount(""), "");
    auto error = CopyItemData(fs, {copy, "big.bin"}, {dir.file("out.bin"), {}});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->side, CopyError::Side::Source);
    EXPECT_NE(error->error.message.find("streams_interface=windows"), std::string::npos);
    error = CopyItemData(fs, {bigFile, {}}, {copy, "again"});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->side, CopyError::Side::Target);
    EXPECT_NE(error->error.message.find("streams_interface=windows"), std::string::npos);
}

// On a volume without room for old and new at once, replacing a file needs room only for what the
// new data adds; with no room even for that, the target is left untouched.
TEST(SavingRoomTest, AFullVolumeTakesTheNewDataInPlaceOrRefusesBeforeWriting)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    test::TempDir dir;
    const std::string volume = dir.file("small");
    std::filesystem::create_directory(volume);
    ASSERT_EQ(::mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=4m"), 0) << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{volume};

    const std::string target = volume + "/target.bin";
    { std::ofstream(target, std::ios::binary) << std::string(2500 << 10, 'o'); }
    if (!test::SetStream(target, "keep", "kept"))
        GTEST_SKIP() << "this kernel's tmpfs takes no user attributes";
    LinuxFileSystem fs;
    const std::string same = dir.write("same.bin", std::string(2500 << 10, 'n'));
    ASSERT_FALSE(CopyItemData(fs, {same, {}}, {target, {}}));
    EXPECT_TRUE(test::ReadFile(target) == std::string(2500 << 10, 'n'));
    EXPECT_EQ(test::StreamValue(target, "keep"), "kept");

    const std::string huge = dir.write("huge.bin", std::string(6 << 20, 'h'));
    auto error = CopyItemData(fs, {huge, {}}, {target, {}});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->error.code, ENOSPC);
    EXPECT_TRUE(test::ReadFile(target) == std::string(2500 << 10, 'n'));
    EXPECT_EQ(folderEntries(volume), (Lines{"target.bin"}));
}

// A new stream whose writing fails is removed again, so that it does not count as existing and a
// later save writes it in full.
TEST(SavingNtfsTest, ANewStreamThatFailsIsRemovedAgain)
{
    if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    test::TempDir dir;
    test::NtfsVolume volume(dir.path());
    ASSERT_EQ(volume.format(24ull << 20), "");
    if (const std::string why = volume.mount("streams_interface=windows"); !why.empty())
        GTEST_SKIP() << why;
    const std::string parent = volume.path("doc.txt");
    { std::ofstream(parent, std::ios::binary) << "parent data"; }
    const std::string big = dir.write("big.bin", std::string(40 << 20, 'b'));

    LinuxFileSystem fs;
    test::RecordingSink sink;
    OperationLog log{sink};
    test::FakeIconList icons;
    Workspace ws;
    WorkspaceEditor editor{ws, fs, icons, log};
    editor.LoadIntoWorkspace(parent);
    editor.LoadIntoWorkspace(big);
    const SaveOutcome outcome = SaveWhole(editor);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->error.code, ENOSPC);
    EXPECT_EQ(outcome.error->path, parent + ":big.bin");
    EXPECT_FALSE(fs.streamExists(parent, "big.bin"));
    EXPECT_TRUE(fs.listStreams(parent).empty());
}
