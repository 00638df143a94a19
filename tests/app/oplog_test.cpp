#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/log_lines.h"
#include "common/numbers.h"
#include "common/oplog.h"
#include "common/shown_name.h"
#include "support/fake_filesystem.h"

using namespace tessaly;

TEST(LogTimeStamp, HasFixedShapeAndWidth)
{
    EXPECT_EQ(FormatTimeStamp({2011, 1, 13, 19, 5, 9, 7}), "20110113-190509.007 ");
    EXPECT_EQ(FormatTimeStamp({2011, 1, 13, 0, 0, 0, 0}), "20110113-000000.000 ");
    const std::string now = LogTimeStamp();
    ASSERT_EQ(now.size(), 20u);
    EXPECT_EQ(now[8], '-');
    EXPECT_EQ(now[15], '.');
    EXPECT_EQ(now[19], ' ');
}

TEST(CallResultText, TrimsSystemTextAndPrintsUnsignedError)
{
    EXPECT_EQ(CallResultText(42, 0, "Success"), "42,0:Success");
    EXPECT_EQ(CallResultText(2, 2, "No such file or directory.\r\n"), "2,2:No such file or directory");
    EXPECT_EQ(CallResultText(-1, 0x80004005u, "failed. . \n"), "-1,2147500037:failed");
    EXPECT_EQ(CallResultText(5, 5, "アクセスが拒否されました。\r\n"), "5,5:アクセスが拒否されました。");
    EXPECT_EQ(CallResultText(31, 1155, ""), "31,1155:");
    EXPECT_EQ(CallResultText(0, 1, "\x01\x1f"), "0,1:");
}

TEST(OperationLog, BuildsLinesOfStampPhraseAndSubject)
{
    test::RecordingSink sink;
    OperationLog log(sink);
    log.AppendLogLine("作業域を初期化");
    log.AppendLogLine("親ファイルに設定 ", "/p/doc.txt");
    log.appendResultLine(33, 0, "Success");
    // A name cannot forge a line of its own, nor can a system text that quotes one.
    log.AppendLogLine("代替ストリーム発見 ", "/p/a\n20260101-000000.000 x\r\x1b\t\xff");
    log.appendResultLine(2, 2, "no \"/p/a\nb\"");
    ASSERT_EQ(sink.lines.size(), 5u);
    EXPECT_EQ(sink.bodies(), (std::vector<std::string>{"作業域を初期化", "親ファイルに設定 /p/doc.txt", "33,0:Success",
                                                       "代替ストリーム発見 /p/a\\n20260101-000000.000 x\\r\\x1b\\t\\xff",
                                                       "2,2:no \"/p/a\\nb\""}));
    EXPECT_EQ(sink.lines[0].size(), 20u + std::string("作業域を初期化").size());
}

TEST(FormatGrouped, GroupsDigitsInThrees)
{
    EXPECT_EQ(FormatGrouped(0, ","), "0");
    EXPECT_EQ(FormatGrouped(999, ","), "999");
    EXPECT_EQ(FormatGrouped(1234, ","), "1,234");
    EXPECT_EQ(FormatGrouped(1234567, "."), "1.234.567");
    EXPECT_EQ(FormatGrouped(18446744073709551615ull, ","), "18,446,744,073,709,551,615");
    EXPECT_EQ(FormatGrouped(1000000, "\u202f"), "1\u202f000\u202f000");
}

TEST(ShownName, EscapesWhatWouldNotReadAsItself)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"/p/報告書 2026.txt", "/p/報告書 2026.txt"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {std::string("e\x1b[31m\x7f\x01", 8), "e\\x1b[31m\\x7f\\x01"},
        {"bad\xffname\xc3", "bad\\xffname\\xc3"},
        {"over\xc0\xaflong", "over\\xc0\\xaflong"},  // an overlong "/" is no slash
        {"gpj.\xe2\x80\xae" "exe", "gpj.\\u202e" "exe"},   // right-to-left override
        {"line\xe2\x80\xa8sep\xc2\x85", "line\\u2028sep\\u0085"},
        {"back\\slash", "back\\slash"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        // Nothing to see, yet a different name: each is escaped wherever a name is shown.
        {"no\u200btes", "no\\u200btes"},
        {"\u3164", "\\u3164"},
        {"\u115f\u1160\uffa0", "\\u115f\\u1160\\uffa0"},
        {"a\u200eb\u200fc\u061cd", "a\\u200eb\\u200fc\\u061cd"},
        {"\u2066x\u2069\u202a", "\\u2066x\\u2069\\u202a"},
        {"w\u2060j\u2064\ufeffs\u00adh", "w\\u2060j\\u2064\\ufeffs\\u00adh"},
        {"tag\U000E0041\U000E007F", "tag\\U000e0041\\U000e007f"},
        {"vs\ufe0f\U000E0100\u180e", "vs\\ufe0f\\U000e0100\\u180e"},
        {"\u034f\u17b4\u2028\U0001D173", "\\u034f\\u17b4\\u2028\\U0001d173"},
        // Visible characters, blanks included, stay as they are.
        {"全角\u3000空白 \u00a0é😀", "全角\u3000空白 \u00a0é😀"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShownName(c.in), c.out) << c.in;
        EXPECT_EQ(NeedsEscaping(c.in), c.in != c.out) << c.in;
    }
}

// Lines kept as what they add to the line before come back byte for byte: lines that share all,
// part or none of a part, lines that are the start of the line before or longer than it, empty
// lines and multi-byte characters split by the common part, across the lines kept whole.
TEST(LogLines, EveryLineComesBackAsWritten)
{
    using Parts = std::vector<std::array<std::string, 3>>;
    const Parts seed = {
        {"20261209-181610.123 ", "親ファイル検出 ", "/tmp/a/file.txt"},
        {"20261209-181610.123 ", "子ファイル検出 ", "/tmp/a/file.txt:s1"},
        {"20261209-181610.123 ", "子ファイル検出 ", "/tmp/a/file.txt:s10"},
        {"20261209-181610.123 ", "子ファイル検出 ", "/tmp/a/file.txt"},
        {"20261209-181610.124 ", "子ファイル検出 ", "/tmp/a/file.txt:s2"},
        {"", "", ""},
        {"20261209-181610.124 ", "", ""},
        {"20261209-181610.124 子", "ファイル検出 /tmp/b", ""},
        {"20261209-181610.124 ", "子ファイル検出 ", "/tmp/\xe6\x97\xa5\xe6\x9c\xac"},
        {"20261209-181610.124 ", "子ファイル検出 ", "/tmp/\xe6\x97\xa5\xe6\x9d\xb1"},
    };
    Parts written;
    for (std::size_t i = 0; i < 2 * LogLines::RestartEvery + 5; ++i)
        written.push_back(seed[i % seed.size()]);
    LogLines lines;
    std::vector<std::string> whole;
    for (const auto& [stamp, phrase, subject] : written) {
        lines.append(stamp, phrase, subject);
        whole.push_back(stamp + phrase + subject);
    }
    lines.append("a line given whole");
    whole.push_back("a line given whole");
    ASSERT_EQ(lines.size(), whole.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(lines.line(i), whole[i]) << i;
        EXPECT_EQ(lines.lengthOf(i), whole[i].size()) << i;
        total += whole[i].size();
    }
    EXPECT_EQ(lines.bytes(), total);
    std::vector<std::string> visited;
    lines.forEach(LogLines::RestartEvery + 3, [&](std::size_t i, std::string_view text) {
        EXPECT_EQ(i, LogLines::RestartEvery + 3 + visited.size());
        visited.emplace_back(text);
    });
    EXPECT_EQ(visited, std::vector<std::string>(whole.begin() + LogLines::RestartEvery + 3, whole.end()));
}
