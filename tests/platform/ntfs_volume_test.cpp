#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>

#include "platform/linux/linux_filesystem.h"
#include "streams/enumerate.h"
#include "support/ntfs_volume.h"
#include "support/tempdir.h"

using namespace tessaly;

namespace {

constexpr std::uint64_t ImageBytes = 24ull * 1024 * 1024;
constexpr std::size_t BigBytes = 1024 * 1024;

// 1 MiB that is not one repeated byte, so that a read of the wrong part shows.
std::string bigValue()
{
    std::string value(BigBytes, '\0');
    for (std::size_t i = 0; i < value.size(); ++i)
        value[i] = char((i * 7 + i / 4096) & 0xFF);
    return value;
}

void writeFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    ASSERT_TRUE(out.good()) << path;
}

// The streams put on the test file: a 1 MiB one, a Japanese name with a blank, a name with a dot
// and an empty one.
const std::vector<std::pair<std::string, std::string>>& testStreams()
{
    static const std::vector<std::pair<std::string, std::string>> streams = {
        {"notes", "hello"}, {"big", bigValue()}, {"メモ 1", "日本語"}, {"pic.jpg", "JPEG"}, {"empty", ""}};
    return streams;
}

std::vector<std::string> namesOf(const StreamList& list, const std::string& file)
{
    std::vector<std::string> names;
    for (const auto& e : list)
        names.push_back(e.text.substr(file.size() + 1));
    return names;
}

// The file's stream names in the order the volume's own list gives them.
std::vector<std::string> volumeStreamList(const std::string& file)
{
    std::string buffer(4096, '\0');
    const ssize_t size = ::getxattr(file.c_str(), "ntfs.streams.list", buffer.data(), buffer.size());
    std::vector<std::string> names;
    if (size <= 0)
        return names;
    std::string current;
    for (ssize_t i = 0; i < size; ++i) {
        if (buffer[std::size_t(i)] == '\0') {
            names.push_back(current);
            current.clear();
        } else {
            current += buffer[std::size_t(i)];
        }
    }
    if (!current.empty())
        names.push_back(current);
    return names;
}

}  // namespace

class NtfsVolumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
            GTEST_SKIP() << reason;
        volume = std::make_unique<test::NtfsVolume>(dir.path());
        if (const std::string error = volume->format(ImageBytes); !error.empty())
            GTEST_SKIP() << error;
        mountOrSkip("streams_interface=windows");
        if (IsSkipped())
            return;
        file = volume->path("doc.txt");
        writeFile(file, "main data");
        for (const auto& [name, value] : testStreams())
            writeFile(file + ":" + name, value);
    }

    void mountOrSkip(const std::string& options)
    {
        if (const std::string error = volume->mount(options); !error.empty())
            GTEST_SKIP() << error;
    }

    test::TempDir dir;
    std::unique_ptr<test::NtfsVolume> volume;  // unmounted before dir goes
    std::string file;
};

TEST_F(NtfsVolumeTest, WindowsInterfaceListsReadsAndWritesRealStreams)
{
    LinuxFileSystem fs;
    ASSERT_TRUE(fs.hasWindowsStreamInterface(file));

    const std::vector<std::string> order = volumeStreamList(file);
    ASSERT_EQ(order.size(), testStreams().size());
    StreamList list;
    EnumerateStreams(fs, file, list);
    ASSERT_EQ(namesOf(list, file), order);
    for (const auto& [name, value] : testStreams()) {
        auto it = std::find(order.begin(), order.end(), name);
        EXPECT_EQ(list[std::size_t(it - order.begin())].size, value.size()) << name;
        auto read = fs.readItem({file, name});
        ASSERT_TRUE(read.ok()) << name << ": " << read.error().message;
        EXPECT_TRUE(read.value() == value) << name << " read back " << read.value().size() << " bytes";
    }
    EXPECT_EQ(fs.readItem({file, {}}).value(), "main data");

    // A "file:stream" text names an existing object here, so it is an item of its own that reads
    // as the stream.
    const ItemRef resolved = ResolveItemText(fs, file + ":notes");
    EXPECT_FALSE(resolved.isStream());
    EXPECT_EQ(fs.readItem(resolved).value(), "hello");

    EXPECT_FALSE(fs.streamExists(file, "added"));
    ASSERT_FALSE(fs.writeItem({file, "added"}, std::string(200 * 1024, 'a')));
    EXPECT_TRUE(fs.streamExists(file, "added"));
    ASSERT_FALSE(fs.writeItem({file, "added"}, "shorter"));  // replaced, not overlaid
    EXPECT_EQ(fs.readItem({file, "added"}).value(), "shorter");
    EnumerateStreams(fs, file, list);
    EXPECT_EQ(list.size(), testStreams().size() + 1);
    EXPECT_FALSE(fs.streamExists(file, "missing"));

    // A file without streams on the same volume.
    const std::string bare = volume->path("bare.txt");
    writeFile(bare, "x");
    EnumerateStreams(fs, bare, list);
    EXPECT_TRUE(list.empty());

    // Folders carry streams too.
    const std::string folder = volume->path("folder");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    writeFile(folder + ":tag", "abc");
    EnumerateStreams(fs, folder, list);
    EXPECT_EQ(list, (StreamList{{folder + ":tag", 3}}));
}

TEST_F(NtfsVolumeTest, AttributeInterfaceShowsTheSameStreamsAsUserAttributes)
{
    ASSERT_EQ(volume->mount(""), "");
    LinuxFileSystem fs;
    EXPECT_FALSE(fs.hasWindowsStreamInterface(file));

    StreamList list;
    EnumerateStreams(fs, file, list);
    std::vector<std::string> names = namesOf(list, file);
    std::vector<std::string> expected;
    for (const auto& s : testStreams())
        expected.push_back(s.first);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(names, expected);

    for (const auto& e : list) {
        const std::string name = e.text.substr(file.size() + 1);
        const std::string& value =
            std::find_if(testStreams().begin(), testStreams().end(), [&](auto& s) { return s.first == name; })->second;
        auto read = fs.readItem({file, name});
        if (name == "big") {
            // The kernel caps attribute values at 64 KiB: that is the size this interface reports,
            // and the value cannot be fetched; the error names the way to reach it.
            EXPECT_EQ(e.size, 65536u);
            ASSERT_FALSE(read.ok());
            EXPECT_EQ(read.error().code, E2BIG);
            EXPECT_NE(read.error().message.find("streams_interface=windows"), std::string::npos);
        } else {
            EXPECT_EQ(e.size, value.size()) << name;
            ASSERT_TRUE(read.ok()) << name;
            EXPECT_EQ(read.value(), value);
        }
    }

    // An attribute written here is a real stream of the volume.
    ASSERT_FALSE(fs.writeItem({file, "via attribute"}, "abc"));
    EXPECT_TRUE(fs.streamExists(file, "via attribute"));
    ASSERT_EQ(volume->mount("streams_interface=windows"), "");
    struct stat st {};
    ASSERT_EQ(::stat((file + ":via attribute").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 3);
}
