#include <gtest/gtest.h>

#include "common/oplog.h"
#include "streams/commands.h"
#include "streams/workspace.h"
#include "support/fake_filesystem.h"
#include "support/workspace_fixture.h"

using namespace tessaly;
using Lines = std::vector<std::string>;

class CommandsTest : public test::WorkspaceFixture {};

TEST_F(CommandsTest, DropsFollowTheOneParentRule)
{
    auto refused = HandleDrop(editor, {"/a", "/b", "/c"});
    EXPECT_TRUE(refused.refused);
    EXPECT_TRUE(ws.isEmpty());
    EXPECT_EQ(sink.bodies(), (Lines{"D&Dで複数の親ファイル受取り不可 3"}));

    sink.lines.clear();
    auto one = HandleDrop(editor, {"/p/doc.txt"});
    EXPECT_EQ(one.status, "doc.txt を受取りました。");
    EXPECT_EQ(sink.bodies(), (Lines{"D&Dで受取り /p/doc.txt", "親ファイルに設定 /p/doc.txt"}));

    sink.lines.clear();
    auto three = HandleDrop(editor, {"/a", "/b", "/c"});
    EXPECT_EQ(three.status, "3個のファイルを受取りました。");
    EXPECT_EQ(sink.bodies(), (Lines{"D&Dで受取り /a", "子ファイルに設定 /a", "D&Dで受取り /b", "子ファイルに設定 /b",
                                    "D&Dで受取り /c", "子ファイルに設定 /c"}));
    EXPECT_EQ(HandleDrop(editor, {"/x/a"}).status, "a を受取りました。");  // refused by name, still received
}

TEST_F(CommandsTest, DeleteRemovesChildOrResetsOnRoot)
{
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "n", "1");
    editor.LoadIntoWorkspace("/p/doc.txt");
    ws.select(1);
    EXPECT_FALSE(DeleteSelected(editor));
    EXPECT_EQ(ws.nodeCount(), 1);
    EXPECT_EQ(ws.selected(), 0);
    EXPECT_EQ(sink.bodies().back(), "一覧から削除 /p/doc.txt:n");
    EXPECT_TRUE(fs.streamExists("/p/doc.txt", "n"));
    EXPECT_TRUE(DeleteSelected(editor));
    EXPECT_TRUE(ws.isEmpty());
    EXPECT_EQ(sink.bodies().back(), "作業域を初期化");
}

TEST_F(CommandsTest, ClickShowsNameAndGroupedSize)
{
    EXPECT_EQ(ClickStatusText(ws, ","), "");
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "notes", std::string(1234567, 'x'));
    editor.LoadIntoWorkspace("/p/doc.txt");
    EXPECT_EQ(ClickStatusText(ws, ","), "doc.txt (0 Byte)");
    ws.select(1);
    EXPECT_EQ(ClickStatusText(ws, ","), "notes (1,234,567 Byte)");
}

TEST_F(CommandsTest, PopupEnablesFollowSelectionAndExtension)
{
    const PopupEnables none{false, false, false, false, false, false, false, false, false};
    EXPECT_EQ(PopupMenu1Popup(ws), none);

    fs.add("/p/README");
    fs.addStream("/p/README", "notes", "1");
    fs.addStream("/p/README", "pic.jpg", "2");
    editor.LoadIntoWorkspace("/p/README");
    // Root without extension: everything but the three that need one.
    EXPECT_EQ(PopupMenu1Popup(ws), (PopupEnables{false, false, true, true, false, true, true, true, true}));
    ws.select(1);
    EXPECT_EQ(PopupMenu1Popup(ws), (PopupEnables{false, false, false, true, false, true, true, false, true}));
    ws.select(2);
    EXPECT_EQ(PopupMenu1Popup(ws), (PopupEnables{true, true, false, true, true, true, true, false, true}));
}
