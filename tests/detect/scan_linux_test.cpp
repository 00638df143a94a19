#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "common/oplog.h"
#include "detect/scan.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/linux_folders.h"
#include "support/fake_filesystem.h"
#include "support/ntfs_volume.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

using namespace tessaly;
using Lines = std::vector<std::string>;
namespace fsys = std::filesystem;

namespace {

class PlainView final : public ScanView {
public:
    void pump() override {}
    void showProgress(const std::string&) override {}
    std::string formatModified(const LocalTime& t, bool withTime) override
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
        std::string out = buf;
        if (withTime) {
            std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", t.hour, t.minute, t.second);
            out += buf;
        }
        return out;
    }
};

// Removes a file right after its streams have been listed, as another program might.
class VanishingFileSystem final : public FileSystem {
public:
    explicit VanishingFileSystem(FileSystem& inner) : inner_(inner) {}
    std::vector<StreamInfo> listStreams(const std::string& path) override
    {
        auto streams = inner_.listStreams(path);
        if (path == victim)
            ::unlink(path.c_str());
        return streams;
    }
    std::uint64_t fileSizeOf(const std::string& p) override { return inner_.fileSizeOf(p); }
    bool pathExists(const std::string& p) override { return inner_.pathExists(p); }
    bool streamExists(const std::string& f, const std::string& s) override { return inner_.streamExists(f, s); }
    Expected<std::string> readItem(const ItemRef& i) override { return inner_.readItem(i); }
    std::optional<SysError> writeItem(const ItemRef& i, std::string_view d) override { return inner_.writeItem(i, d); }
    std::string victim;

private:
    FileSystem& inner_;
};

void setModified(const std::string& path, std::int64_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

class LinuxScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dir.supportsUserAttributes())
            GTEST_SKIP() << "the temporary folder's file system does not take user attributes";
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        root = dir.path() + "/";
    }

    std::string make(const std::string& name, std::map<std::string, std::string> streams = {})
    {
        fsys::create_directories(fsys::path(root + name).parent_path());
        const std::string p = dir.write(name, "content");
        for (auto& [n, v] : streams)
            EXPECT_TRUE(test::SetStream(p, n, v));
        return p;
    }

    // Parent captions mapped to their children's captions, checking that children follow their parent.
    std::map<std::string, std::set<std::string>> groups() const
    {
        std::map<std::string, std::set<std::string>> out;
        std::string current;
        for (const auto& r : scan.rows()) {
            if (r.isParent()) {
                EXPECT_EQ(out.count(r.caption), 0u) << "listed twice: " << r.caption;
                current = r.caption;
                out[current];
            } else {
                EXPECT_EQ(r.caption.rfind(current + ":", 0), 0u) << r.caption << " does not follow its parent";
                out[current].insert(r.caption);
            }
        }
        return out;
    }

    test::TempDir dir;
    std::string root;
    LinuxFolderSystem folders;
    LinuxFileSystem files;
    test::FakeIconList icons;
    test::RecordingSink sink;
    OperationLog log{sink};
    PlainView view;
    FolderScan scan{folders, files, icons, log, view};
};

TEST_F(LinuxScanTest, FindsEveryFileWithStreamsHiddenOnesIncludedAndNothingElse)
{
    const std::string with = make("with.txt", {{"one", "abc"}, {"zero", ""}});
    make("without.txt");
    const std::string hidden = make(".hidden", {{"h", "x"}});
    const std::string inner = make(".hiddendir/inner", {{"i", "yy"}});
    const std::string deep = make("sub/deeper/f", {{"d", "1"}});
    make("sub/deeper/plain");
    setModified(with, 1299318067);  // 2011-03-05 09:41:07 UTC

    scan.ScanFolder(dir.path());

    const auto g = groups();
    EXPECT_EQ(g, (std::map<std::string, std::set<std::string>>{
                     {with, {with + ":one", with + ":zero"}},
                     {hidden, {hidden + ":h"}},
                     {inner, {inner + ":i"}},
                     {deep, {deep + ":d"}},
                 }));
    for (const auto& r : scan.rows()) {
        if (r.caption == with) {
            EXPECT_EQ(r.size, " 7");
            EXPECT_EQ(r.modified, "2011-03-05 09:41:06");
        }
        if (r.caption == with + ":zero") {
            EXPECT_EQ(r.size, " 0");
        }
    }
    EXPECT_EQ(scan.counters().FilesExamined, 6);
    EXPECT_EQ(scan.counters().ParentsFound, 4);
    EXPECT_EQ(scan.counters().ChildrenFound, 5);
    EXPECT_EQ(sink.lines.size(), 9u);
}

TEST_F(LinuxScanTest, SymbolicLinksToFoldersAreNotFollowed)
{
    const std::string f = make("a/b/f", {{"s", "1"}});
    // A loop through an ancestor, a link to a sibling folder, and a link that leads nowhere.
    fsys::create_directory_symlink(root, root + "a/b/up");
    fsys::create_directory_symlink(root + "a/b", root + "a/again");
    fsys::create_symlink(root + "missing", root + "a/dangling");

    scan.ScanFolder(root);

    EXPECT_EQ(groups(), (std::map<std::string, std::set<std::string>>{{f, {f + ":s"}}}));
    // The dangling link is an entry that is not a folder: looked at, no streams.
    EXPECT_EQ(scan.counters().FilesExamined, 2);

    // The listing tells the kinds apart.
    auto listing = folders.openFolder(root + "a");
    ASSERT_TRUE(listing.ok());
    std::map<std::string, FolderEntry::Kind> kinds;
    FolderEntry e;
    while (listing.value()->next(e))
        kinds[e.name] = e.kind;
    EXPECT_EQ(kinds["b"], FolderEntry::Kind::Folder);
    EXPECT_EQ(kinds["again"], FolderEntry::Kind::FolderLink);
    EXPECT_EQ(kinds["dangling"], FolderEntry::Kind::File);
    EXPECT_EQ(kinds["."], FolderEntry::Kind::Folder);
}

TEST_F(LinuxScanTest, AFolderWithoutPermissionIsPassedOverAndReported)
{
    // Root reads every folder whatever its permissions: the case runs as an ordinary user.
    if (test::RerunThisTestUnprivileged())
        return;
    make("closed/f", {{"s", "1"}});
    const std::string open = make("open/f", {{"s", "1"}});
    ASSERT_EQ(::chmod((root + "closed").c_str(), 0), 0);

    scan.ScanFolder(root);

    EXPECT_EQ(groups(), (std::map<std::string, std::set<std::string>>{{open, {open + ":s"}}}));
    EXPECT_EQ(sink.lines.size(), 3u);
    ASSERT_EQ(scan.skipped().size(), 1u);
    EXPECT_EQ(scan.skipped()[0].path, root + "closed/");
    EXPECT_EQ(scan.skipped()[0].error.message, "Permission denied");
}

TEST_F(LinuxScanTest, AFileThatVanishesBeforeItsLookupKeepsItsRowsWithEmptyCells)
{
    const std::string gone = make("gone", {{"s", "12"}});
    VanishingFileSystem vanishing(files);
    vanishing.victim = gone;
    FolderScan scan2{folders, vanishing, icons, log, view};

    scan2.ScanFolder(root);

    ASSERT_EQ(scan2.rows().size(), 2u);
    EXPECT_EQ(scan2.rows()[0].caption, gone);
    EXPECT_EQ(scan2.rows()[0].size, "");
    EXPECT_EQ(scan2.rows()[0].modified, "");
    EXPECT_EQ(scan2.rows()[1].size, " 2");
}

TEST_F(LinuxScanTest, AFileFifteenHundredFoldersDownIsFoundWithFewDescriptorsToSpare)
{
    std::string deep = root;
    for (int i = 0; i < 1500; ++i) {
        deep += "d/";
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0) << std::strerror(errno);
    }
    deep += "f";
    const int fd = ::open(deep.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(test::SetStream(deep, "s", "1"));
    // Far fewer descriptors than levels: the scan must not hold one open folder per level.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    scan.ScanFolder(root);
    ::setrlimit(RLIMIT_NOFILE, &old);

    EXPECT_EQ(groups(), (std::map<std::string, std::set<std::string>>{{deep, {deep + ":s"}}}));
}

// On an NTFS volume (ntfs-3g, FUSE) in either stream interface the scan lists what the stream
// listing by path lists, names and sizes alike.
TEST(NtfsScanTest, BothStreamInterfacesListWhatTheListingByPathLists)
{
    if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    for (const std::string options : {"", "streams_interface=windows"}) {
        test::TempDir dir;
        test::NtfsVolume volume(dir.path());
        if (const std::string error = volume.format(std::uint64_t(16) << 20); !error.empty())
            GTEST_SKIP() << error;
        if (const std::string error = volume.mount(options); !error.empty())
            GTEST_SKIP() << error;
        const std::string file = volume.path("sub/doc.txt");
        fsys::create_directories(volume.path("sub"));
        std::ofstream(file) << "data";
        for (const auto& [name, value] : {std::pair{"a", "12"}, {"b", ""}, {"c.txt", "xyz"}}) {
            if (options.empty())
                ASSERT_TRUE(test::SetStream(file, name, value));
            else
                std::ofstream(file + ":" + name) << value;
        }
        LinuxFolderSystem folders;
        LinuxFileSystem files;
        test::FakeIconList icons;
        test::RecordingSink sink;
        OperationLog log{sink};
        PlainView view;
        FolderScan scan{folders, files, icons, log, view};
        scan.ScanFolder(volume.mountPoint());

        std::vector<std::pair<std::string, std::string>> expected{{file, " 4"}};
        for (const StreamInfo& s : files.listStreams(file))
            expected.push_back({file + ":" + s.name, " " + std::to_string(s.size)});
        std::vector<std::pair<std::string, std::string>> rows;
        for (const ScanRow& r : scan.rows())
            rows.push_back({r.caption, r.size});
        EXPECT_EQ(rows.size(), 4u) << options;
        EXPECT_EQ(rows, expected) << options;
        volume.unmount();
    }
}

// Kernels before 6.13 (Debian 12 has 6.1) have no attribute calls relative to a folder: the scan
// finds the same streams through the calls by path.
TEST_F(LinuxScanTest, AKernelWithoutRelativeAttributeCallsFindsTheSameStreams)
{
    const std::string f = make("sub/f", {{"a", "12"}, {"b", ""}});
    const std::map<std::string, std::string> sizes{{"a", " 2"}, {"b", " 0"}};
    const Lines order = test::StreamNames(f);
    ASSERT_EQ(order.size(), 2u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // listxattrat and getxattrat answer ENOSYS, as on an older kernel.
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 464, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 465, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        };
        sock_fprog program{sizeof filter / sizeof filter[0], filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(2);
        scan.ScanFolder(root);
        const auto& rows = scan.rows();
        bool same = rows.size() == 3 && rows[0].caption == f;
        for (std::size_t i = 0; same && i < order.size(); ++i)
            same = rows[i + 1].caption == f + ":" + order[i] && rows[i + 1].size == sizes.at(order[i]);
        ::_exit(same ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: other rows than by path, 2: no system-call filter";
}
