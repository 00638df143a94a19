// How the preview judges and lays out an item's first bytes, where a download came from, and the
// stored form of a file server's streams.

#include <gtest/gtest.h>

#include "streams/dos_streams.h"
#include "streams/origin.h"
#include "streams/preview.h"
#include "support/fake_filesystem.h"

using namespace tessaly;
using Kind = ContentGuess::Kind;

namespace {

struct GuessCase {
    const char* label;
    std::string bytes;
    bool truncated;
    Kind kind;
    TextEncoding encoding;
    std::size_t textStart, textLength;
};

}  // namespace

class ContentGuessing : public ::testing::TestWithParam<GuessCase> {};

TEST_P(ContentGuessing, KindEncodingAndTextBytes)
{
    const GuessCase& c = GetParam();
    const ContentGuess g = GuessContent(c.bytes, c.truncated);
    EXPECT_EQ(g.kind, c.kind);
    if (c.kind == Kind::Text) {
        EXPECT_EQ(g.encoding, c.encoding);
        EXPECT_EQ(g.textStart, c.textStart);
        EXPECT_EQ(g.textLength, c.textLength);
    }
}

using E = TextEncoding;
INSTANTIATE_TEST_SUITE_P(
    Samples, ContentGuessing,
    ::testing::Values(
        GuessCase{"Empty", "", false, Kind::Empty, E::Utf8, 0, 0},
        GuessCase{"Ascii", "line 1\r\n\tline 2\n", false, Kind::Text, E::Utf8, 0, 16},
        GuessCase{"Utf8WithBom", "\xef\xbb\xbf\xe6\x97\xa5\xe6\x9c\xac", false, Kind::Text, E::Utf8, 3, 6},
        // The sample ends inside a character: the cut character is left out, the text stays text.
        GuessCase{"Utf8CutBySampleEnd", "ab\xe6\x97", true, Kind::Text, E::Utf8, 0, 2},
        // 日本語テキスト in Shift_JIS.
        GuessCase{"ShiftJis", "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67", false, Kind::Text,
                  E::ShiftJis, 0, 14},
        GuessCase{"ShiftJisCutAfterLeadByte", "\x93\xfa\x96", true, Kind::Text, E::ShiftJis, 0, 2},
        // にほんご in EUC-JP also passes as Shift_JIS, but as half-width katakana.
        GuessCase{"EucJp", "\xa4\xcb\xa4\xdb\xa4\xf3\xa4\xb4", false, Kind::Text, E::EucJp, 0, 8},
        GuessCase{"Utf16LeWithBom", std::string("\xff\xfe[\0Z\0\r\0\n\0", 10), false, Kind::Text, E::Utf16LE, 2, 8},
        GuessCase{"Utf16BeWithBom", std::string("\xfe\xff\0a\0b", 6), false, Kind::Text, E::Utf16BE, 2, 4},
        GuessCase{"NulByte", std::string("abc\0def", 7), false, Kind::Binary, E::Utf8, 0, 0},
        GuessCase{"EscapeByte", "red \x1b[31m", false, Kind::Binary, E::Utf8, 0, 0},
        GuessCase{"Elf", "\x7f" "ELF\x02\x01\x01", false, Kind::Binary, E::Utf8, 0, 0},
        GuessCase{"InvalidEverywhere", "\xff\xfd\x80\x80", false, Kind::Binary, E::Utf8, 0, 0},
        GuessCase{"TextBeginningLikeABitmap", "BMW and other cars of the year\n", false, Kind::Text, E::Utf8, 0, 31},
        GuessCase{"Png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR", false, Kind::Image, E::Utf8, 0, 0}),
    [](const ::testing::TestParamInfo<GuessCase>& info) { return std::string(info.param.label); });

TEST(PreviewLayout, HexDumpLinesWithOffsetsAndPrintableColumn)
{
    std::string bytes = "0123456789abcdef";
    bytes += std::string("\0\xffZ", 3);
    EXPECT_EQ(HexDump(bytes),
              "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\n"
              "00000010  00 ff 5a                                          |..Z|\n");
}

TEST(PreviewRead, StopsAtTheLimitOfAHugeItemAndAnnouncesItsSize)
{
    test::FakeFileSystem fs;
    fs.add("/big");
    const std::uint64_t huge = 1ull << 30;
    fs.generated["/big:s"] = huge;
    fs.files["/big"].streams.push_back({"s", ""});
    fs.readPiece = 1000;  // many short reads, none of them past the limit
    auto sample = ReadPreview(fs, {"/big", "s"}, huge);
    ASSERT_TRUE(sample.ok());
    EXPECT_EQ(sample.value().bytes.size(), PreviewLimit);
    EXPECT_TRUE(sample.value().truncated);
    EXPECT_EQ(sample.value().size, huge);
    EXPECT_EQ(sample.value().bytes[PreviewLimit - 1], test::FakeFileSystem::GeneratedByte(PreviewLimit - 1));

    fs.add("/small", "abc");
    sample = ReadPreview(fs, {"/small", ""}, 3);
    ASSERT_TRUE(sample.ok());
    EXPECT_EQ(sample.value().bytes, "abc");
    EXPECT_FALSE(sample.value().truncated);
}

namespace {

std::string utf16le(std::string_view ascii)
{
    std::string out = "\xff\xfe";
    for (char c : ascii)
        out.append(1, c).append(1, '\0');
    return out;
}

struct ZoneCase {
    const char* label;
    std::string bytes;
    bool found;
    std::optional<int> zone;
    const char* host;
    const char* referrer;
};

}  // namespace

class ZoneIdentifiers : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneIdentifiers, ValuesOfTheZoneTransferSection)
{
    const ZoneCase& c = GetParam();
    const auto origin = ParseZoneIdentifier(c.bytes);
    ASSERT_EQ(origin.has_value(), c.found);
    if (!origin)
        return;
    EXPECT_EQ(origin->zoneId, c.zone);
    EXPECT_EQ(origin->hostUrl, c.host);
    EXPECT_EQ(origin->referrerUrl, c.referrer);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ZoneIdentifiers,
    ::testing::Values(
        ZoneCase{"Utf8Crlf", "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://r.example/\r\nHostUrl=https://h.example/f.zip\r\n",
                 true, 3, "https://h.example/f.zip", "https://r.example/"},
        ZoneCase{"Utf16LeWithBom", utf16le("[ZoneTransfer]\r\nZoneId=4\r\nHostUrl=about:internet\r\n"), true, 4,
                 "about:internet", ""},
        ZoneCase{"BomCaseAndBlanks", "\xef\xbb\xbf[zonetransfer]\n zoneid = 2 \n[Other]\nHostUrl=x\n", true, 2, "", ""},
        ZoneCase{"NotANumber", "[ZoneTransfer]\nZoneId=3x\n", true, std::nullopt, "", ""},
        ZoneCase{"NoSection", "ZoneId=3\n", false, std::nullopt, "", ""}),
    [](const ::testing::TestParamInfo<ZoneCase>& info) { return std::string(info.param.label); });

TEST(Origins, ZoneNamesAndTheLinuxAttributesOfAFile)
{
    EXPECT_EQ(ZoneText(3), "3 インターネット");
    EXPECT_EQ(ZoneText(0), "0 ローカル コンピューター");
    EXPECT_EQ(ZoneText(9), "9");

    test::FakeFileSystem fs;
    fs.add("/d/setup.zip", "PK");
    fs.addStream("/d/setup.zip", "zone.identifier", utf16le("[ZoneTransfer]\r\nZoneId=3\r\n"));
    fs.addStream("/d/setup.zip", "xdg.origin.url", "https://dl.example/setup.zip\n");
    fs.addStream("/d/setup.zip", "xdg.referrer.url", "https://example/");
    const Origin origin = ReadOrigin(fs, "/d/setup.zip");
    EXPECT_EQ(origin.zoneId, 3);
    EXPECT_EQ(origin.xdgOriginUrl, "https://dl.example/setup.zip");
    const auto lines = OriginLines(origin);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].second, "3 インターネット");
    EXPECT_TRUE(ReadOrigin(fs, "/missing").empty());
}

TEST(ServerStreams, StoredNamesAndValues)
{
    EXPECT_EQ(DosStreamName("DosStream.Zone.Identifier:$DATA"), "Zone.Identifier");
    EXPECT_EQ(DosStreamName("DosStream.a:b:$DATA"), "a:b");
    for (const char* other : {"DosStream.:$DATA", "DosStream.x", "notes", "DosStream.x:$data", "xDosStream.y:$DATA"})
        EXPECT_FALSE(DosStreamName(other)) << other;
    EXPECT_EQ(DosStreamAttribute("x"), "DosStream.x:$DATA");
    EXPECT_EQ(DosStreamValue(std::string_view("a\0", 2)), std::string("a\0\0", 3));
    EXPECT_EQ(DosStreamData(std::string("a\0\0", 3)), std::string_view("a\0", 2));
    EXPECT_EQ(DosStreamData(std::string("\0", 1)), "");
    EXPECT_EQ(DosStreamData("no nul"), "no nul");  // a value the server did not write is taken whole
    EXPECT_EQ(DosStreamSize(1), 0u);
    EXPECT_EQ(DosStreamSize(0), 0u);
}
