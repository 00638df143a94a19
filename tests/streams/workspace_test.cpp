#include <gtest/gtest.h>

#include "app/oplog.h"
#include "streams/enumerate.h"
#include "streams/workspace.h"
#include "support/fake_filesystem.h"
#include "support/workspace_fixture.h"

using namespace tessaly;
using Lines = std::vector<std::string>;

class WorkspaceTest : public test::WorkspaceFixture {
protected:

    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& n : ws.nodes())
            out.push_back(n.text);
        return out;
    }
};

TEST_F(WorkspaceTest, EnumerateKeepsPathAsGivenAndSystemOrder)
{
    fs.add("/p/doc.txt", "hello");
    fs.addStream("/p/doc.txt", "b", "0123456789");
    fs.addStream("/p/doc.txt", "a", "");
    StreamList list{{"stale", 1}};
    EnumerateStreams(fs, "/p/doc.txt", list);
    EXPECT_EQ(list, (StreamList{{"/p/doc.txt:b", 10}, {"/p/doc.txt:a", 0}}));
    EnumerateStreams(fs, "/missing", list);
    EXPECT_TRUE(list.empty());
}

TEST_F(WorkspaceTest, LoadsParentWithStreamsSizesAndIcons)
{
    fs.add("/p/doc.txt", "12345");
    fs.addStream("/p/doc.txt", "notes", "abc");
    fs.addStream("/p/doc.txt", "pic.jpg", "jpegdata");
    editor.LoadIntoWorkspace("/p/doc.txt");

    EXPECT_EQ(texts(), (std::vector<std::string>{"/p/doc.txt", "/p/doc.txt:notes", "/p/doc.txt:pic.jpg"}));
    EXPECT_EQ(ws.node(0).size, 5u);
    EXPECT_EQ(ws.node(1).size, 3u);
    EXPECT_EQ(ws.node(2).size, 8u);
    EXPECT_EQ(ws.selected(), 0);
    EXPECT_EQ(icons.entries, (Lines{"ext:.txt", "ext:", "ext:.jpg"}));
    EXPECT_EQ(ws.node(0).image, 0);
    EXPECT_EQ(ws.node(2).image, 2);
    EXPECT_TRUE(ws.saveCommandsEnabled());
    EXPECT_EQ(sink.bodies(), (Lines{"親ファイルに設定 /p/doc.txt", "代替ストリーム発見 /p/doc.txt:notes",
                                    "代替ストリーム発見 /p/doc.txt:pic.jpg"}));
}

TEST_F(WorkspaceTest, DuplicateNamesAreRefusedButTheirStreamsStillCome)
{
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "notes", "x");
    fs.add("/x/notes");
    fs.addStream("/x/notes", "extra", "yy");
    fs.addStream("/x/notes", "notes", "zz");
    fs.add("/x/Notes");
    editor.LoadIntoWorkspace("/p/doc.txt");
    editor.LoadIntoWorkspace("/x/notes");
    editor.LoadIntoWorkspace("/x/Notes");  // names compare case-sensitively

    EXPECT_EQ(texts(), (std::vector<std::string>{"/p/doc.txt", "/p/doc.txt:notes", "/x/notes:extra", "/x/Notes"}));
    EXPECT_EQ(sink.bodies(), (Lines{"親ファイルに設定 /p/doc.txt", "代替ストリーム発見 /p/doc.txt:notes",
                                    "同名の子ファイル追加不可 /x/notes", "代替ストリーム発見 /x/notes:extra",
                                    "同名の子ファイル追加不可 /x/notes:notes", "子ファイルに設定 /x/Notes"}));
}

TEST_F(WorkspaceTest, ParentLoadedAgainBecomesItsOwnChild)
{
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "a", "1");
    editor.LoadIntoWorkspace("/p/doc.txt");
    editor.LoadIntoWorkspace("/p/doc.txt");
    EXPECT_EQ(texts(), (std::vector<std::string>{"/p/doc.txt", "/p/doc.txt:a", "/p/doc.txt"}));
    EXPECT_EQ(sink.bodies().back(), "同名の子ファイル追加不可 /p/doc.txt:a");
}

TEST_F(WorkspaceTest, MissingPathBecomesEmptyParent)
{
    editor.LoadIntoWorkspace("/nowhere/file.bin");
    EXPECT_EQ(texts(), (std::vector<std::string>{"/nowhere/file.bin"}));
    EXPECT_EQ(ws.root().size, 0u);
    EXPECT_EQ(sink.bodies(), (Lines{"親ファイルに設定 /nowhere/file.bin"}));
}

TEST_F(WorkspaceTest, HugeFilesKeepTheirFullSize)
{
    fs.add("/big.iso");
    fs.sizeOverride["/big.iso"] = 5'000'000'000ull;
    editor.LoadIntoWorkspace("/big.iso");
    EXPECT_EQ(ws.root().size, 5'000'000'000ull);
}

TEST_F(WorkspaceTest, FaviconShowsItsOwnContentOrAnEmptyIconWithALogLine)
{
    fs.add("/u/site.url");
    fs.addStream("/u/site.url", "favicon", "ICO-bytes");
    fs.add("/u/other.url");
    fs.addStream("/u/other.url", "favicon", "not an icon");
    fs.addStream("/u/other.url", "favicon.ico", "ICO-but-by-extension");
    editor.LoadIntoWorkspace("/u/site.url");
    editor.LoadIntoWorkspace("/u/other.url");
    EXPECT_EQ(icons.entries, (Lines{"ext:.url", "ico", "ext:.url", "ext:.ico"}));
    // The second favicon is refused by name, so only the icon of other.url and favicon.ico follow.
    fs.files.clear();
    icons.entries.clear();
    sink.lines.clear();
    editor.reset();
    fs.add("/u/a");
    fs.addStream("/u/a", "favicon", "garbage");
    editor.LoadIntoWorkspace("/u/a");
    EXPECT_EQ(icons.entries, (Lines{"ext:", "empty"}));
    EXPECT_EQ(sink.bodies(), (Lines{"作業域を初期化", "親ファイルに設定 /u/a", "アイコンイメージエラー /u/a:favicon",
                                    "代替ストリーム発見 /u/a:favicon"}));
}

// An icon larger than any real one is never read: a file or stream of 2 GiB named favicon would
// stall the window and could exhaust memory.
TEST_F(WorkspaceTest, OversizedFaviconIsAnIconErrorWithoutBeingRead)
{
    const std::string limit = "ICO" + std::string(MaxIconBytes - 3, 'x');
    fs.add("/u/favicon", limit);
    fs.sizeOverride["/u/huge/favicon"] = 2ull << 30;
    fs.add("/u/huge/favicon", "ICO-but-claims-2-GiB");
    fs.add("/u/s");
    fs.addStream("/u/s", "favicon", limit + "x");
    sink.lines.clear();
    for (const char* path : {"/u/favicon", "/u/huge/favicon", "/u/s:favicon"})
        AddFileIcon(fs, icons, log, path);
    EXPECT_EQ(icons.entries, (Lines{"ico", "empty", "empty"}));
    EXPECT_EQ(sink.bodies(), (Lines{"アイコンイメージエラー /u/huge/favicon", "アイコンイメージエラー /u/s:favicon"}));
}

TEST_F(WorkspaceTest, ResetKeepsAnEmptyRootAndRemovingAChildKeepsOtherIcons)
{
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "a.txt", "1");
    fs.addStream("/p/doc.txt", "b.png", "2");
    editor.LoadIntoWorkspace("/p/doc.txt");
    editor.removeChild(1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"/p/doc.txt", "/p/doc.txt:b.png"}));
    EXPECT_EQ(ws.node(1).image, 2);
    fs.add("/x/c.gif");
    editor.LoadIntoWorkspace("/x/c.gif");
    EXPECT_EQ(ws.node(2).image, 3);  // its own new icon, not a stale one
    editor.reset();
    EXPECT_TRUE(ws.isEmpty());
    EXPECT_EQ(ws.nodeCount(), 1);
    EXPECT_FALSE(ws.saveCommandsEnabled());
    EXPECT_EQ(icons.count(), 0);
    EXPECT_TRUE(ws.streamList().empty());
}
