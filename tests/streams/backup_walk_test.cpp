#include <gtest/gtest.h>

#include <cstring>

#include "streams/backup_walk.h"

using namespace tessaly;

namespace {

constexpr std::uint32_t DataStream = 1;
constexpr std::uint32_t SecurityData = 3;
constexpr std::uint32_t AlternateData = 4;
constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;

std::string le(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

std::string utf16le(std::u16string_view text)
{
    std::string out;
    for (char16_t u : text)
        out += le(u, 2);
    return out;
}

// Backup data made up in memory: records of header and name, each followed by data that is only
// counted (a stream of 5 GiB costs nothing). Records what the walk asks of it.
class FakeBackup final : public BackupSource {
public:
    FakeBackup& add(std::uint32_t id, std::string name, std::uint64_t dataSize)
    {
        const auto nameSize = std::uint32_t(name.size());
        return addRaw(id, nameSize, std::move(name), dataSize);
    }
    FakeBackup& stream(std::u16string_view name, std::uint64_t dataSize)
    {
        return add(AlternateData, utf16le(name), dataSize);
    }
    // A header whose announced name size need not match the name bytes that follow it.
    FakeBackup& addRaw(std::uint32_t id, std::uint32_t nameSize, std::string name, std::uint64_t dataSize)
    {
        Record r;
        r.start = end_;
        r.head = le(id, 4) + le(0, 4) + le(dataSize, 8) + le(nameSize, 4) + name;
        r.dataSize = dataSize;
        end_ += r.head.size() + dataSize;
        records_.push_back(std::move(r));
        return *this;
    }
    // Ends the data after the given number of bytes of the last record's head.
    void cutLastHead(std::size_t keep)
    {
        Record& r = records_.back();
        end_ -= r.head.size() + r.dataSize - keep;
        r.head.resize(keep);
        r.dataSize = 0;
    }

    std::optional<std::size_t> read(unsigned char* buffer, std::size_t size) override
    {
        readSizes.push_back(size);
        if (failReadNumber == readSizes.size())
            return std::nullopt;
        std::size_t n = 0;
        while (n < size && pos_ < end_) {
            const Record& r = recordAt(pos_);
            const std::uint64_t offset = pos_ - r.start;
            buffer[n++] = offset < r.head.size() ? (unsigned char)r.head[offset] : 0xDD;
            ++pos_;
        }
        return n;
    }

    void skipStreamData() override
    {
        std::uint64_t moved = 0;
        if (pos_ < end_) {
            const Record& r = recordAt(pos_);
            const std::uint64_t dataStart = r.start + r.head.size();
            if (pos_ >= dataStart) {
                moved = dataStart + r.dataSize - pos_;
                pos_ += moved;
            }
        }
        seeks.push_back(moved);
    }

    bool atEnd() const { return pos_ == end_; }

    std::vector<std::size_t> readSizes;
    std::vector<std::uint64_t> seeks;
    std::size_t failReadNumber = 0;  // 1-based; 0: no read fails

private:
    struct Record {
        std::uint64_t start = 0;
        std::string head;
        std::uint64_t dataSize = 0;
    };
    const Record& recordAt(std::uint64_t pos) const
    {
        for (const Record& r : records_)
            if (pos < r.start + r.head.size() + r.dataSize)
                return r;
        return records_.back();
    }
    std::vector<Record> records_;
    std::uint64_t pos_ = 0;
    std::uint64_t end_ = 0;
};

using Streams = std::vector<StreamInfo>;

}  // namespace

namespace tessaly {
void PrintTo(const StreamInfo& s, std::ostream* os)
{
    *os << '"' << s.name << "\" (" << s.size << ")";
}
}  // namespace tessaly

TEST(BackupWalk, UnnamedStreamsAndSecurityDataGiveNoEntries)
{
    FakeBackup backup;
    backup.add(DataStream, "", 100).add(SecurityData, "", 40).add(DataStream, "", 0);
    EXPECT_TRUE(WalkBackupStreams(backup).empty());
    EXPECT_EQ(backup.seeks, (std::vector<std::uint64_t>{100, 40}));
    EXPECT_TRUE(backup.atEnd());
}

TEST(BackupWalk, NamedStreamsInOrderWithSizesAndNoSeekForEmptyOnes)
{
    FakeBackup backup;
    backup.add(DataStream, "", 5)
        .stream(u":a:$DATA", 10)
        .stream(u":b:$DATA", 0)
        .stream(u":pic.jpg:$DATA", 3)
        .add(SecurityData, "", 8);
    EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"a", 10}, {"b", 0}, {"pic.jpg", 3}}));
    // Every stream's data is passed over with one seek; "b" has none to pass.
    EXPECT_EQ(backup.seeks, (std::vector<std::uint64_t>{5, 10, 3, 8}));
    // Headers of 20 bytes, names exactly as announced; nothing of the data is read.
    EXPECT_EQ(backup.readSizes, (std::vector<std::size_t>{20, 20, 16, 20, 16, 20, 28, 20, 20}));
    EXPECT_TRUE(backup.atEnd());
}

TEST(BackupWalk, StreamsOver4GiBKeepTheirFullSizeAndAreSkippedWhole)
{
    const std::uint64_t huge = 5 * GiB + 7;
    FakeBackup backup;
    backup.stream(u":big:$DATA", huge).stream(u":exact:$DATA", 4 * GiB).stream(u":after:$DATA", 3);
    EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"big", huge}, {"exact", 4 * GiB}, {"after", 3}}));
    EXPECT_EQ(backup.seeks, (std::vector<std::uint64_t>{huge, 4 * GiB, 3}));
}

TEST(BackupWalk, NamesLongerThanUsualAreReadWhole)
{
    // 300 units, 600 bytes: more than any NTFS name, yet the walk must neither cut nor overrun it.
    const std::u16string bare(293, u'x');
    const std::u16string stored = u":" + bare + u":$DATA";
    ASSERT_EQ(stored.size() * 2, 600u);
    FakeBackup backup;
    backup.stream(stored, 2).stream(u":next:$DATA", 1);
    EXPECT_EQ(WalkBackupStreams(backup), (Streams{{std::string(293, 'x'), 2}, {"next", 1}}));
    EXPECT_EQ(backup.readSizes[1], 600u);
}

TEST(BackupWalk, ShortOrFailedNameReadEndsTheWalkKeepingEarlierEntries)
{
    {
        FakeBackup backup;
        backup.stream(u":first:$DATA", 4).stream(u":second:$DATA", 4);
        backup.cutLastHead(20 + 6);  // the data ends inside the second name
        EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"first", 4}}));
        EXPECT_EQ(backup.seeks.size(), 1u);
    }
    {
        FakeBackup backup;
        backup.stream(u":first:$DATA", 4).stream(u":second:$DATA", 4).stream(u":third:$DATA", 4);
        backup.failReadNumber = 4;  // header 1, name 1, header 2, name 2
        EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"first", 4}}));
        EXPECT_EQ(backup.readSizes.size(), 4u);
    }
    {
        // A header announcing more name bytes than follow it.
        FakeBackup backup;
        backup.stream(u":first:$DATA", 0).addRaw(AlternateData, 40, utf16le(u":x:$DATA"), 0);
        EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"first", 0}}));
    }
}

TEST(BackupWalk, FailedOrIncompleteHeaderReadEndsTheWalk)
{
    {
        FakeBackup backup;
        backup.stream(u":a:$DATA", 1).stream(u":b:$DATA", 1).stream(u":c:$DATA", 1);
        backup.failReadNumber = 3;
        EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"a", 1}}));
        EXPECT_EQ(backup.readSizes.size(), 3u);
    }
    {
        FakeBackup backup;
        backup.stream(u":a:$DATA", 1).stream(u":b:$DATA", 1);
        backup.cutLastHead(12);
        EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"a", 1}}));
    }
    {
        FakeBackup empty;
        EXPECT_TRUE(WalkBackupStreams(empty).empty());
        EXPECT_EQ(empty.readSizes, (std::vector<std::size_t>{20}));
    }
}

TEST(BackupWalk, DamagedNameSizeEndsTheWalkWithoutHugeAllocation)
{
    FakeBackup backup;
    backup.stream(u":a:$DATA", 1).addRaw(AlternateData, 0xFFFFFFF0u, utf16le(u":b:$DATA"), 0);
    EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"a", 1}}));
}

TEST(BackupWalk, NamesAreConvertedAndStrippedOfTheTypeSuffix)
{
    FakeBackup backup;
    backup.stream(u":メモ 1:$DATA", 1)
        .stream(u":\U0001F600:$DATA", 1)                        // a surrogate pair
        .stream(std::u16string(u":bad") + char16_t(0xD800) + u"x:$DATA", 1)  // a lone surrogate
        .stream(u":plain", 1)                                   // no type suffix
        .stream(std::u16string(u":cut") + u'\0' + u"tail:$DATA", 1)  // taken up to the terminator
        .stream(u"::$DATA", 1)                                  // no bare name: no entry
        .stream(u":", 1)
        .stream(u":last:$DATA", 1);
    EXPECT_EQ(WalkBackupStreams(backup), (Streams{{"メモ 1", 1},
                                                  {"\xF0\x9F\x98\x80", 1},
                                                  {"bad\xEF\xBF\xBDx", 1},
                                                  {"plain", 1},
                                                  {"cut", 1},
                                                  {"last", 1}}));
}
