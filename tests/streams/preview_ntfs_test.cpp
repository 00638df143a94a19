// The preview of a 1 GiB stream on a real NTFS volume (ntfs-3g, streams_interface=windows): the
// bytes this process reads from the system are counted, and only the first 64 KiB are read.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "platform/linux/linux_filesystem.h"
#include "streams/preview.h"
#include "support/process.h"
#include "support/ntfs_volume.h"
#include "support/tempdir.h"

using namespace tessaly;

TEST(PreviewOnNtfs, HugeStreamIsReadOnlyAsFarAsTheLimit)
{
    if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    test::TempDir dir;
    auto volume = std::make_unique<test::NtfsVolume>(dir.path());
    if (const std::string error = volume->format(32ull << 20); !error.empty())
        GTEST_SKIP() << error;
    if (const std::string error = volume->mount("streams_interface=windows"); !error.empty())
        GTEST_SKIP() << error;

    const std::string file = volume->path("big.bin");
    std::ofstream(file) << "main";
    const std::uint64_t huge = 1ull << 30;
    {
        // A sparse 1 GiB stream on a 32 MiB volume, with text at its start.
        const int fd = ::open((file + ":huge").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "head of stream\n", 15), 15);
        ASSERT_EQ(::ftruncate(fd, off_t(huge)), 0);
        ASSERT_EQ(::close(fd), 0);
    }
    LinuxFileSystem fs;
    const auto streams = fs.listStreams(file);
    ASSERT_EQ(streams, (std::vector<StreamInfo>{{"huge", huge}}));

    // Reading the counter is itself a read: what one look costs is taken off.
    const std::uint64_t first = test::BytesRead();
    const std::uint64_t before = test::BytesRead();
    const std::uint64_t lookCost = before - first;
    auto sample = ReadPreview(fs, {file, "huge"}, huge);
    const std::uint64_t read = test::BytesRead() - before - lookCost;
    ASSERT_TRUE(sample.ok()) << sample.error().message;
    EXPECT_EQ(read, PreviewLimit);
    EXPECT_EQ(sample.value().bytes.size(), PreviewLimit);
    EXPECT_TRUE(sample.value().truncated);
    EXPECT_EQ(sample.value().size, huge);
    EXPECT_EQ(sample.value().bytes.substr(0, 15), "head of stream\n");
    volume.reset();
}
