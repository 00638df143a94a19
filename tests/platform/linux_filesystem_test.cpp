#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/linux/linux_filesystem.h"
#include "streams/enumerate.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

using namespace tessaly;

class LinuxFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dir.supportsUserAttributes())
            GTEST_SKIP() << "the temporary folder's file system does not take user attributes";
    }
    test::TempDir dir;
    LinuxFileSystem fs;
};

TEST_F(LinuxFileSystemTest, ListsUserAttributesAsStreamsWithSizes)
{
    const std::string names[] = {"my notes", "メモ", std::string("bad\xff\xfe", 5), "pic.jpg", "empty"};
    for (const char* folderName : {"plain", "with blank", "日本語"}) {
        std::filesystem::create_directory(dir.file(folderName));
        const std::string file = dir.write(std::string(folderName) + "/doc file.txt", "data");
        std::string sizes;
        for (const auto& n : names)
            ASSERT_TRUE(test::SetStream(file, n, n == "empty" ? "" : n + n));
        StreamList list;
        EnumerateStreams(fs, file, list);
        ASSERT_EQ(list.size(), 5u);
        // Same set, in whatever order the file system keeps them; each sized correctly.
        for (const auto& n : names) {
            auto it = std::find_if(list.begin(), list.end(), [&](auto& e) { return e.text == file + ":" + n; });
            ASSERT_NE(it, list.end()) << n;
            EXPECT_EQ(it->size, n == "empty" ? 0u : 2 * n.size());
        }
    }
}

TEST_F(LinuxFileSystemTest, OtherNamespacesAreNotStreamsAndMissingFilesGiveNothing)
{
    const std::string file = dir.write("f", "x");
    StreamList list{{"old", 1}};
    EnumerateStreams(fs, file, list);
    EXPECT_TRUE(list.empty());
    EnumerateStreams(fs, dir.file("missing"), list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(fs.fileSizeOf(dir.file("missing")), 0u);
    EXPECT_EQ(fs.fileSizeOf(file), 1u);
}

TEST_F(LinuxFileSystemTest, DirectoriesCarryStreamsToo)
{
    const std::string sub = dir.file("folder");
    std::filesystem::create_directory(sub);
    ASSERT_TRUE(test::SetStream(sub, "tag", "abc"));
    StreamList list;
    EnumerateStreams(fs, sub, list);
    EXPECT_EQ(list, (StreamList{{sub + ":tag", 3}}));
    EXPECT_EQ(fs.fileSizeOf(sub), 0u);  // a folder's size is 0, not its block size
}

TEST_F(LinuxFileSystemTest, UnreadableFileGivesEmptyList)
{
    // Root reads every file whatever its permissions: the case runs as an ordinary user.
    if (test::RerunThisTestUnprivileged())
        return;
    const std::string file = dir.write("secret", "x");
    ASSERT_TRUE(test::SetStream(file, "s", "1"));
    ::chmod(dir.path().c_str(), 0);
    StreamList list;
    EnumerateStreams(fs, file, list);
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_TRUE(list.empty());
}

TEST_F(LinuxFileSystemTest, ItemTextsResolveToFilesOrStreams)
{
    const std::string file = dir.write("doc.txt", "main");
    const std::string colon = dir.write("a:b", "colon in name");
    EXPECT_EQ(ResolveItemText(fs, file).stream, "");
    EXPECT_EQ(ResolveItemText(fs, colon).file, colon);  // an existing name with a colon is a file
    ItemRef s = ResolveItemText(fs, file + ":notes");
    EXPECT_EQ(s.file, file);
    EXPECT_EQ(s.stream, "notes");
    ItemRef missing = ResolveItemText(fs, dir.file("none.txt:notes"));
    EXPECT_FALSE(missing.isStream());
}

TEST_F(LinuxFileSystemTest, ReadsAndWritesWholeItems)
{
    const std::string file = dir.write("doc.txt", "main");
    EXPECT_FALSE(fs.streamExists(file, "notes"));
    ASSERT_FALSE(fs.writeItem({file, "notes"}, "stream data"));
    EXPECT_TRUE(fs.streamExists(file, "notes"));
    EXPECT_EQ(fs.readItem({file, "notes"}).value(), "stream data");
    ASSERT_FALSE(fs.writeItem({file, "empty"}, ""));
    EXPECT_TRUE(fs.streamExists(file, "empty"));
    EXPECT_EQ(fs.readItem({file, {}}).value(), "main");
    auto missing = fs.readItem({file, "nothing"});
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ENODATA);
}

TEST_F(LinuxFileSystemTest, TooLargeAttributeSaysSo)
{
    const std::string file = dir.write("doc.txt", "main");
    auto error = fs.writeItem({file, "big"}, std::string(200 * 1024, 'x'));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->code == E2BIG || error->code == ENOSPC);
    EXPECT_NE(error->message.find("拡張属性"), std::string::npos);
}

TEST_F(LinuxFileSystemTest, SpecialFilesAreNeverRead)
{
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto result = fs.readItem({fifo, {}});
    EXPECT_FALSE(result.ok());
}
