#include <gtest/gtest.h>

#include "app/numbers.h"
#include "app/oplog.h"
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
    ASSERT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.bodies(), (std::vector<std::string>{"作業域を初期化", "親ファイルに設定 /p/doc.txt", "33,0:Success"}));
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
