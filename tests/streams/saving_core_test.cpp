// The save commands and the item copy over the in-memory file system: log lines, status texts,
// the reset and reload, and what the commands leave behind when something fails.

#include <gtest/gtest.h>

#include <cerrno>

#include "common/oplog.h"
#include "streams/copy_item.h"
#include "streams/saving.h"
#include "streams/workspace.h"
#include "support/fake_filesystem.h"
#include "support/workspace_fixture.h"

using namespace tessaly;
using Lines = std::vector<std::string>;

namespace {

class SavingTest : public test::WorkspaceFixture {
protected:

    // The worked example: a parent with one stream, and an attached file.
    void loadExample()
    {
        fs.add("/p/doc.txt", "parent data");
        fs.addStream("/p/doc.txt", "notes", "old notes");
        fs.add("/x/memo.txt", "memo content");
        editor.LoadIntoWorkspace("/p/doc.txt");
        editor.LoadIntoWorkspace("/x/memo.txt");
        sink.lines.clear();
    }
    Lines texts() const
    {
        Lines out;
        for (const auto& n : ws.nodes())
            out.push_back(n.text);
        return out;
    }
    std::string stream(const std::string& file, const std::string& name)
    {
        auto v = fs.readItem({file, name});
        return v.ok() ? v.value() : "<none>";
    }
};

}  // namespace

TEST_F(SavingTest, CopyMovesEveryByteInPiecesAndReportsTheFailingSide)
{
    fs.add("/a", "0123456789abcdef");
    fs.readPiece = 3;  // many short reads
    ASSERT_FALSE(CopyItemData(fs, {"/a", {}}, {"/b", {}}));
    EXPECT_EQ(fs.files["/b"].data, "0123456789abcdef");

    fs.opened.clear();
    auto missing = CopyItemData(fs, {"/gone", {}}, {"/b", {}});
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->side, CopyError::Side::Source);
    EXPECT_EQ(missing->path, "/gone");
    EXPECT_EQ(missing->error.code, ENOENT);
    EXPECT_EQ(fs.opened, (Lines{"r /gone"}));  // the target is never touched

    fs.failOpenWrite["/a:s"] = SysError{EACCES, "Permission denied"};
    auto refused = CopyItemData(fs, {"/a", {}}, {"/a", "s"});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->side, CopyError::Side::Target);
    EXPECT_EQ(refused->path, "/a:s");
    EXPECT_EQ(refused->error.code, EACCES);
}

TEST_F(SavingTest, CopyFailingPartWayLeavesAPlainTargetAsItWas)
{
    fs.add("/src", std::string(100, 'n'));
    fs.add("/dst", "old content");
    fs.readPiece = 10;
    fs.writeBudget = 55;
    auto error = CopyItemData(fs, {"/src", {}}, {"/dst", {}});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->side, CopyError::Side::Target);
    EXPECT_EQ(error->error.code, ENOSPC);
    EXPECT_EQ(fs.files["/dst"].data, "old content");
}

TEST_F(SavingTest, ItemsBeyondTwoGibibytesAreCopiedInBoundedPieces)
{
    const std::uint64_t size = (std::uint64_t(2) << 30) + 12345;
    fs.generated["/huge"] = size;
    fs.counted["/out"] = 0;
    ASSERT_FALSE(CopyItemData(fs, {"/huge", {}}, {"/out", {}}));
    EXPECT_EQ(fs.counted["/out"], size);
    EXPECT_TRUE(fs.countedMismatch.empty());
    EXPECT_LE(fs.largestWrite, CopyPieceSize);
}

TEST_F(SavingTest, ErrorTextsNameTheSideThePathAndTheSystemMessage)
{
    CopyError source{CopyError::Side::Source, "rel/a%s.txt", SysError{ENOENT, "No such file or directory"}};
    EXPECT_EQ(CopyErrorText(source, "/home/u/rel/a%s.txt"),
              "ファイル \"/home/u/rel/a%s.txt\" は開けません。No such file or directory");
    CopyError target{CopyError::Side::Target, "/p/doc.txt:notes", SysError{EPERM, "Operation not permitted"}};
    EXPECT_EQ(CopyErrorText(target, "/p/doc.txt:notes"),
              "ファイル \"/p/doc.txt:notes\" を作成できません。Operation not permitted");
}

TEST(AbsolutePathText, JoinsAndWorksOutDotsByText)
{
    EXPECT_EQ(AbsolutePathText("/home/u", "doc.txt:notes"), "/home/u/doc.txt:notes");
    EXPECT_EQ(AbsolutePathText("/home/u", "./a/../b//c.txt"), "/home/u/b/c.txt");
    EXPECT_EQ(AbsolutePathText("/home/u", "/p/./x/../doc.txt"), "/p/doc.txt");
    EXPECT_EQ(AbsolutePathText("/", "../../etc"), "/etc");
    EXPECT_EQ(AbsolutePathText("/home/u", std::string("bad\xff\xfe")), "/home/u/bad\xff\xfe");
}

TEST_F(SavingTest, OverwriteSaveAddsNewStreamsResetsAndReloads)
{
    loadExample();
    const SaveOutcome outcome = SaveWhole(editor);
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(outcome.status, "doc.txt 全体を保存しました。");
    EXPECT_EQ(sink.bodies(), (Lines{"全体を上書き保存 /p/doc.txt", "ヘッダ変更無し /p/doc.txt",
                                    "ヘッダ変更無し /p/doc.txt:notes", "子ファイルで保存 /p/doc.txt:memo.txt",
                                    "作業域を初期化", "再読込み /p/doc.txt", "親ファイルに設定 /p/doc.txt",
                                    "代替ストリーム発見 /p/doc.txt:notes",
                                    "代替ストリーム発見 /p/doc.txt:memo.txt"}));
    EXPECT_EQ(texts(), (Lines{"/p/doc.txt", "/p/doc.txt:notes", "/p/doc.txt:memo.txt"}));
    EXPECT_EQ(ws.selected(), 0);
    EXPECT_TRUE(ws.saveCommandsEnabled());
    EXPECT_EQ(fs.files["/p/doc.txt"].data, "parent data");
    EXPECT_EQ(stream("/p/doc.txt", "notes"), "old notes");
    EXPECT_EQ(stream("/p/doc.txt", "memo.txt"), "memo content");
}

TEST_F(SavingTest, OverwriteSaveNeverReplacesAStreamOfTheSameName)
{
    fs.add("/p/doc.txt", "parent");
    editor.LoadIntoWorkspace("/p/doc.txt");
    fs.add("/x/notes", "attached");
    editor.LoadIntoWorkspace("/x/notes");
    fs.add("/y/a.txt", "a");
    fs.addStream("/y/a.txt", "info", "info of a");
    editor.LoadIntoWorkspace("/y/a.txt");
    fs.add("/z/empty");
    editor.LoadIntoWorkspace("/z/empty");
    // The stream appears after the parent was loaded.
    fs.addStream("/p/doc.txt", "notes", "kept");
    sink.lines.clear();

    ASSERT_FALSE(SaveWhole(editor).error);
    const Lines bodies = sink.bodies();
    EXPECT_EQ(Lines(bodies.begin(), bodies.begin() + 6),
              (Lines{"全体を上書き保存 /p/doc.txt", "ヘッダ変更無し /p/doc.txt", "ヘッダ変更無し /x/notes",
                     "子ファイルで保存 /p/doc.txt:a.txt", "子ファイルで保存 /p/doc.txt:info",
                     "子ファイルで保存 /p/doc.txt:empty"}));
    EXPECT_EQ(stream("/p/doc.txt", "notes"), "kept");
    EXPECT_EQ(stream("/p/doc.txt", "info"), "info of a");
    EXPECT_EQ(stream("/p/doc.txt", "empty"), "");
    EXPECT_EQ(texts(), (Lines{"/p/doc.txt", "/p/doc.txt:notes", "/p/doc.txt:a.txt", "/p/doc.txt:info",
                              "/p/doc.txt:empty"}));
    EXPECT_EQ(ws.node(4).size, 0u);
}

TEST_F(SavingTest, OverwriteSaveStopsAtTheFirstFailure)
{
    fs.add("/p/doc.txt", "parent");
    editor.LoadIntoWorkspace("/p/doc.txt");
    for (const char* name : {"/x/one", "/x/two", "/x/three"}) {
        fs.add(name, std::string(name) + " data");
        editor.LoadIntoWorkspace(name);
    }
    fs.maxStreamSize = 10;  // "/x/two data" is one byte too long
    fs.add("/x/one", "1");
    const Lines before = texts();
    sink.lines.clear();

    const SaveOutcome outcome = SaveWhole(editor);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->side, CopyError::Side::Target);
    EXPECT_EQ(outcome.error->path, "/p/doc.txt:two");
    EXPECT_EQ(outcome.error->error.code, E2BIG);
    EXPECT_TRUE(outcome.status.empty());
    EXPECT_EQ(sink.bodies(), (Lines{"全体を上書き保存 /p/doc.txt", "ヘッダ変更無し /p/doc.txt",
                                    "子ファイルで保存 /p/doc.txt:one"}));
    EXPECT_EQ(stream("/p/doc.txt", "one"), "1");
    EXPECT_EQ(stream("/p/doc.txt", "two"), "<none>");
    EXPECT_EQ(stream("/p/doc.txt", "three"), "<none>");
    EXPECT_EQ(texts(), before);
    EXPECT_TRUE(ws.saveCommandsEnabled());
}

TEST_F(SavingTest, AMissingAttachedFileEndsTheSaveAsASourceError)
{
    loadExample();
    fs.files.erase("/x/memo.txt");
    fs.add("/x/later.txt", "later");
    editor.LoadIntoWorkspace("/x/later.txt");
    sink.lines.clear();

    const SaveOutcome outcome = SaveWhole(editor);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->side, CopyError::Side::Source);
    EXPECT_EQ(outcome.error->path, "/x/memo.txt");
    EXPECT_EQ(sink.bodies().size(), 3u);
    EXPECT_FALSE(fs.streamExists("/p/doc.txt", "later.txt"));
    EXPECT_EQ(ws.nodeCount(), 4);
}

TEST_F(SavingTest, ChildWithoutANameIsRefusedRatherThanOverwritingTheParent)
{
    fs.add("/p/doc.txt", "parent");
    editor.LoadIntoWorkspace("/p/doc.txt");
    fs.add("/x/dir/", "folder-ish");
    editor.LoadIntoWorkspace("/x/dir/");
    const SaveOutcome outcome = SaveWhole(editor);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->side, CopyError::Side::Target);
    EXPECT_EQ(fs.files["/p/doc.txt"].data, "parent");
}

TEST_F(SavingTest, SaveUnderANewNameWritesParentAndEveryChild)
{
    loadExample();
    fs.add("/e/new.txt", "previous");
    const SaveOutcome outcome = SaveWholeAs(editor, "/e/new.txt");
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(outcome.status, "new.txt に保存しました。");
    EXPECT_EQ(sink.bodies(), (Lines{"親ファイルを保存 /e/new.txt", "子ファイルを保存 /e/new.txt:notes",
                                    "子ファイルを保存 /e/new.txt:memo.txt", "作業域を初期化", "再読込み /e/new.txt",
                                    "親ファイルに設定 /e/new.txt", "代替ストリーム発見 /e/new.txt:notes",
                                    "代替ストリーム発見 /e/new.txt:memo.txt"}));
    EXPECT_EQ(fs.files["/e/new.txt"].data, "parent data");
    EXPECT_EQ(stream("/e/new.txt", "notes"), "old notes");
    EXPECT_EQ(stream("/e/new.txt", "memo.txt"), "memo content");
    EXPECT_EQ(texts(), (Lines{"/e/new.txt", "/e/new.txt:notes", "/e/new.txt:memo.txt"}));
    EXPECT_FALSE(fs.pathExists("/e/new.txt.pending"));
}

TEST_F(SavingTest, SaveUnderTheParentsOwnPathKeepsEveryStreamStillToBeRead)
{
    loadExample();
    fs.addStream("/p/doc.txt", "dropped", "not in the list");
    ASSERT_FALSE(SaveWholeAs(editor, "/p/doc.txt").error);
    EXPECT_EQ(fs.files["/p/doc.txt"].data, "parent data");
    EXPECT_EQ(stream("/p/doc.txt", "notes"), "old notes");
    EXPECT_EQ(stream("/p/doc.txt", "memo.txt"), "memo content");
    // Only what the workspace lists goes into the new file.
    EXPECT_EQ(stream("/p/doc.txt", "dropped"), "<none>");
}

TEST_F(SavingTest, SaveUnderANewNameThatFailsLeavesTheOldFileWhole)
{
    loadExample();
    fs.add("/e/new.txt", "previous");
    fs.addStream("/e/new.txt", "old", "old stream");
    const auto oldFile = fs.files["/e/new.txt"];

    // A child that cannot be read, then a stream that cannot be created, then a failed rename.
    fs.files.erase("/x/memo.txt");
    SaveOutcome outcome = SaveWholeAs(editor, "/e/new.txt");
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->side, CopyError::Side::Source);
    EXPECT_EQ(outcome.error->path, "/x/memo.txt");
    // Nothing of it reached the target, so the log claims nothing.
    EXPECT_EQ(sink.bodies(), Lines{});

    fs.add("/x/memo.txt", "memo content");
    fs.maxStreamSize = 9;
    outcome = SaveWholeAs(editor, "/e/new.txt");
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->side, CopyError::Side::Target);
    EXPECT_EQ(outcome.error->path, "/e/new.txt:memo.txt");  // the name it would have had

    fs.maxStreamSize = 1000;
    fs.failCommit = true;
    outcome = SaveWholeAs(editor, "/e/new.txt");
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->path, "/e/new.txt");

    EXPECT_EQ(fs.files["/e/new.txt"].data, oldFile.data);
    EXPECT_EQ(fs.files["/e/new.txt"].streams, oldFile.streams);
    EXPECT_FALSE(fs.pathExists("/e/new.txt.pending"));
    EXPECT_EQ(texts(), (Lines{"/p/doc.txt", "/p/doc.txt:notes", "/x/memo.txt"}));
}

TEST_F(SavingTest, SaveSelectedCopiesOnlyThatItemsBytes)
{
    loadExample();
    EXPECT_EQ(SaveSelectedDialogName(ws), "doc.txt");
    SaveOutcome outcome = SaveSelectedAs(editor, "/e/copy.txt");
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(outcome.status, "copy.txt を保存しました。");
    EXPECT_EQ(fs.files["/e/copy.txt"].data, "parent data");
    EXPECT_TRUE(fs.files["/e/copy.txt"].streams.empty());

    ws.select(1);
    EXPECT_EQ(SaveSelectedDialogName(ws), "notes");
    outcome = SaveSelectedAs(editor, "/e/notes");
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(fs.files["/e/notes"].data, "old notes");
    EXPECT_EQ(sink.bodies(), (Lines{"単独で保存 /p/doc.txt /e/copy.txt", "単独で保存 /p/doc.txt:notes /e/notes"}));
    EXPECT_EQ(texts(), (Lines{"/p/doc.txt", "/p/doc.txt:notes", "/x/memo.txt"}));
    EXPECT_EQ(ws.selected(), 1);

    ws.select(-1);
    EXPECT_FALSE(SaveSelectedDialogName(ws));
    outcome = SaveSelectedAs(editor, "/e/none");
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.status.empty());
    EXPECT_FALSE(fs.pathExists("/e/none"));
}
