#include <gtest/gtest.h>

#include "common/icon_file.h"
#include "common/oplog.h"
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

namespace {

std::string le(std::uint32_t v, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// The start of a PNG as far as its size: signature and IHDR (the rest is never looked at).
std::string pngHead(std::uint32_t w, std::uint32_t h)
{
    std::string be;
    for (std::uint32_t v : {13u, 0u, w, h})
        for (int shift = 24; shift >= 0; shift -= 8)
            be += char((v >> shift) & 0xFF);
    return std::string("\x89PNG\r\n\x1a\n", 8) + be.substr(0, 4) + "IHDR" + be.substr(8) + std::string(9, '\0');
}

// A bitmap picture's header; its height counts the mask rows too.
std::string dibHead(std::int32_t w, std::int32_t h)
{
    return le(40, 4) + le(std::uint32_t(w), 4) + le(std::uint32_t(h), 4) + le(1, 2) + le(32, 2) + std::string(24, '\0');
}

// An icon file of these pictures; every entry's directory size says 16, whatever the picture says.
std::string ico(const std::vector<std::string>& pictures, std::uint32_t type = 1, std::uint32_t count = 0,
                std::uint32_t sizeSlack = 0)
{
    const std::uint32_t n = count ? count : std::uint32_t(pictures.size());
    std::string out = le(0, 2) + le(type, 2) + le(n, 2);
    std::uint32_t offset = 6 + 16 * std::uint32_t(pictures.size());
    for (const std::string& p : pictures) {
        out += std::string("\x10\x10\0\0", 4) + le(1, 2) + le(32, 2) + le(std::uint32_t(p.size()) + sizeSlack, 4) +
               le(offset, 4);
        offset += std::uint32_t(p.size());
    }
    for (const std::string& p : pictures)
        out += p;
    return out;
}

}  // namespace

// A few kilobytes can declare pictures of gigabytes: what an icon file says of its pictures is
// judged before anything is decoded.
TEST(IconFileFits, RefusesWhatDecodesToMoreThanAnIcon)
{
    const std::vector<std::string> dozens(MaxIconFrames + 1, pngHead(16, 16));
    const struct {
        const char* what;
        std::string bytes;
        bool fits;
    } cases[] = {
        {"sizes of a real icon", ico({dibHead(16, 32), dibHead(32, 64), pngHead(256, 256)}), true},
        {"a top-down bitmap", ico({dibHead(48, -96)}), true},
        {"a cursor", ico({dibHead(32, 64)}, 2), true},
        {"a PNG alone", pngHead(64, 64) + "IDAT", true},
        {"a huge PNG frame", ico({pngHead(16, 16), pngHead(20000, 20000)}), false},
        {"a PNG taller than wide", ico({pngHead(1, 257)}), false},
        {"a huge bitmap", ico({dibHead(30000, 60000)}), false},
        {"a bitmap of negative width", ico({dibHead(-16, 32)}), false},
        {"a huge PNG alone", pngHead(16384, 16384) + "IDAT", false},
        {"too many frames", ico(dozens), false},
        {"a directory longer than the file", ico({pngHead(16, 16)}, 1, 5), false},
        {"a picture past the end", ico({pngHead(16, 16)}, 1, 0, 1), false},
        {"no icon at all", "not an icon", false},
        {"another type", ico({dibHead(16, 32)}, 3), false},
        {"empty", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconFileFits(c.bytes), c.fits) << c.what;
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
