// The double-click decision and the other open commands, with recording fakes: what is logged,
// what is started with which verb and arguments, and what is never started.

#include <gtest/gtest.h>

#include <functional>

#include "common/oplog.h"
#include "launch/opener.h"
#include "launch_fakes.h"

using namespace tessaly;
using tessaly::test::LaunchCall;
using Lines = std::vector<std::string>;
using Args = std::vector<std::string>;

namespace {

class FakeChooser final : public ApplicationChooser {
public:
    std::optional<Application> chooseApplication(const std::string& item) override
    {
        asked.push_back(item);
        return answer;
    }
    std::optional<Application> answer;
    std::vector<std::string> asked;
};

class FakeConsent final : public LaunchConsent {
public:
    bool allowStart(const std::string& question) override
    {
        questions.push_back(question);
        return answer;
    }
    bool answer = true;
    std::vector<std::string> questions;
};

class OpenerTest : public ::testing::Test {
public:
    OpenerTest() { opener.askBefore(consent); }

    test::FakeFileSystem fs;
    test::RecordingSink sink;
    OperationLog log{sink};
    test::FakeLauncher launcher;
    test::FakeAssociations associations;
    test::FakeShellPaths paths;
    test::FakeWorkPlace workPlace{fs};
    ItemOpener opener{fs, associations, launcher, paths, workPlace, log};
    FakeConsent consent;

    // The item as the loader would hold it.
    ItemToOpen item(const std::string& text) { return {text, ResolveItemText(fs, text)}; }

    static constexpr const char* NoAssociationLine = "1155:No application is registered as handling this file";
    static constexpr const char* ResultLine = "42,0:Success";
};

// --- The double-click, one test per row of its decision table, in test order -------------------

TEST_F(OpenerTest, BlankTextDoesNothing)
{
    for (const char* blank : {"", " ", "\t \r\n"}) {
        opener.TreeView1DblClick(item(blank));
        EXPECT_TRUE(sink.lines.empty()) << '"' << blank << '"';
        EXPECT_TRUE(launcher.calls.empty());
        EXPECT_TRUE(associations.asked.empty());
    }
}

TEST_F(OpenerTest, FaviconOpensInTheImageEditorWhateverItsCase)
{
    fs.add("/u/site.url");
    fs.addStream("/u/site.url", "favicon", "ICOdata");
    fs.addStream("/u/site.url", "FAVICON", "ICO2");
    opener.TreeView1DblClick(item("/u/site.url:favicon"));
    opener.TreeView1DblClick(item("/u/site.url:FAVICON"));
    EXPECT_EQ(sink.bodies(), (Lines{"ペイントを起動 /u/site.url:favicon", ResultLine,
                                    "ペイントを起動 /u/site.url:FAVICON", ResultLine}));
    // The program cannot open the stream by its path: it gets the exported copy.
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/usr/bin/image-editor", {"/run/work/favicon"}},
                                                       {"", "/usr/bin/image-editor", {"/run/work/FAVICON"}}}));
    EXPECT_EQ(fs.files["/run/work/favicon"].data, "ICOdata");
    EXPECT_TRUE(associations.asked.empty());
}

TEST_F(OpenerTest, FaviconWithAnExtensionGoesThroughTheAssociation)
{
    associations.byExtension[".ico"] = "/usr/bin/viewer";
    opener.TreeView1DblClick(item("/u/favicon.ico"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連プログラム起動 /usr/bin/viewer /u/favicon.ico", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/usr/bin/viewer", {"/u/favicon.ico"}}}));
}

TEST_F(OpenerTest, NoExtensionIsRefusedEvenWhenTheFileHasAProgram)
{
    associations.byExtension[".txt"] = "/usr/bin/editor";
    opener.TreeView1DblClick(item("/p/doc.txt:notes"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連付け不可 /p/doc.txt:notes", NoAssociationLine}));
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_TRUE(associations.asked.empty());
}

TEST_F(OpenerTest, UnassociatedLinkStartsItsTargetInLongForm)
{
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "app.lnk", "link bytes");
    paths.links["/run/work/app.lnk"] = "C:\\PROGRA~1\\App\\app.exe";
    paths.longForms["C:\\PROGRA~1"] = "C:\\Program Files";
    opener.TreeView1DblClick(item("/p/doc.txt:app.lnk"));
    EXPECT_EQ(paths.resolved, Args{"/run/work/app.lnk"});
    EXPECT_EQ(sink.bodies(),
              (Lines{"リンクから実体を起動 /p/doc.txt:app.lnk C:\\Program Files\\App\\app.exe", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "C:\\Program Files\\App\\app.exe", {}}}));
}

TEST_F(OpenerTest, UnreadableLinkLaunchesTheEmptyTargetAndReportsTheFailure)
{
    launcher.result = {LaunchFileNotFound, 2, "No such file or directory"};
    opener.TreeView1DblClick(item("/p/Broken.LNK"));
    EXPECT_EQ(sink.bodies(), (Lines{"リンクから実体を起動 /p/Broken.LNK ", "2,2:No such file or directory"}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "", {}}}));
}

TEST_F(OpenerTest, LinkWithAProgramOfItsOwnIsADocument)
{
    associations.byExtension[".lnk"] = "/usr/bin/link-viewer";
    opener.TreeView1DblClick(item("/p/a.lnk"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連プログラム起動 /usr/bin/link-viewer /p/a.lnk", ResultLine}));
    EXPECT_TRUE(paths.resolved.empty());
}

TEST_F(OpenerTest, ZoneIdentifierOpensInTheTextEditorUnlessItsExtensionHasAProgram)
{
    fs.add("/d/setup.zip");
    fs.addStream("/d/setup.zip", "Zone.Identifier", "[ZoneTransfer]\nZoneId=3\n");
    opener.TreeView1DblClick(item("/d/setup.zip:Zone.Identifier"));
    EXPECT_EQ(sink.bodies(), (Lines{"メモ帳を起動 /d/setup.zip:Zone.Identifier", ResultLine}));
    EXPECT_EQ(launcher.calls,
              (std::vector<LaunchCall>{{"", "/usr/bin/text-editor", {"/run/work/Zone.Identifier"}}}));
    EXPECT_EQ(fs.files["/run/work/Zone.Identifier"].data, "[ZoneTransfer]\nZoneId=3\n");

    sink.lines.clear();
    launcher.calls.clear();
    associations.byExtension[".Identifier"] = "/usr/bin/zone-viewer";
    opener.TreeView1DblClick(item("/d/setup.zip:Zone.Identifier"));
    EXPECT_EQ(sink.bodies(),
              (Lines{"関連プログラム起動 /usr/bin/zone-viewer /d/setup.zip:Zone.Identifier", ResultLine}));
}

TEST_F(OpenerTest, OtherUnassociatedItemIsReportedAndNotStarted)
{
    opener.TreeView1DblClick(item("/p/data.qqq"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連付け未設定 /p/data.qqq", NoAssociationLine}));
    EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(OpenerTest, ProgramInALibraryOpensTheItemWithTheVerbOpen)
{
    associations.byExtension[".jpg"] = "/lib/Viewer.DLL";
    opener.TreeView1DblClick(item("/p/pic.jpg"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連付けで起動 /lib/Viewer.DLL /p/pic.jpg", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"open", "/p/pic.jpg", {}}}));
}

TEST_F(OpenerTest, ItemThatIsItsOwnProgramIsStarted)
{
    associations.programs["/t/tool.sh"] = "/t/tool.sh";
    opener.TreeView1DblClick(item("/t/tool.sh"));
    EXPECT_EQ(sink.bodies(), (Lines{"プログラム起動 /t/tool.sh", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/t/tool.sh", {}}}));

    // Letter case counts: a program that differs only in case is another program.
    sink.lines.clear();
    launcher.calls.clear();
    associations.programs["/t/Tool.sh"] = "/t/tool.sh";
    opener.TreeView1DblClick(item("/t/Tool.sh"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連プログラム起動 /t/tool.sh /t/Tool.sh", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/t/tool.sh", {"/t/Tool.sh"}}}));
}

// A program file starts itself; a document only ever reaches its program through the desktop
// entry, and a bare name is made absolute so that nothing is looked up in the search path.
TEST_F(OpenerTest, DocumentsGoThroughTheirEntryAndBareNamesAreMadeAbsolute)
{
    associations.programs["hello.sh"] = "hello.sh";
    associations.byExtension[".txt"] = "/usr/bin/editor";
    FakeChooser chooser;
    chooser.answer = Application{"/usr/bin/viewer", "viewer.desktop"};
    opener.TreeView1DblClick(item("hello.sh"));
    opener.TreeView1DblClick(item("notes.txt"));
    opener.NotePad2Click(item("notes.txt"));
    opener.OpenBy2Click(item("notes.txt"), chooser);
    EXPECT_EQ(sink.bodies()[0], "プログラム起動 hello.sh");
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/cwd/hello.sh", {}},
                                                       {"", "/usr/bin/editor", {"/cwd/notes.txt"}},
                                                       {"", "/usr/bin/text-editor", {"/cwd/notes.txt"}},
                                                       {"", "/usr/bin/viewer", {"/cwd/notes.txt"}}}));
    EXPECT_EQ(launcher.entries, (Args{"/usr/bin/editor.desktop", "/usr/bin/text-editor.desktop", "viewer.desktop"}));
}

TEST_F(OpenerTest, StreamOpensInItsProgramAsAnExportedCopyWhileTheLogShowsTheStream)
{
    fs.add("/p/doc.txt", "text");
    fs.addStream("/p/doc.txt", "pic.jpg", "JPEG");
    associations.byExtension[".jpg"] = "/usr/bin/image viewer";
    opener.TreeView1DblClick(item("/p/doc.txt:pic.jpg"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連プログラム起動 /usr/bin/image viewer /p/doc.txt:pic.jpg", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/usr/bin/image viewer", {"/run/work/pic.jpg"}}}));
    EXPECT_EQ(fs.files["/run/work/pic.jpg"].data, "JPEG");
    EXPECT_EQ(associations.asked, Args{"/p/doc.txt:pic.jpg"});
}

TEST_F(OpenerTest, FailedLaunchesAndFailedExportsShowOnlyInTheResultLine)
{
    associations.byExtension[".jpg"] = "/usr/bin/viewer";
    launcher.result = {LaunchAccessDenied, 13, "Permission denied.\n"};
    opener.TreeView1DblClick(item("/p/pic.jpg"));
    EXPECT_EQ(sink.bodies(), (Lines{"関連プログラム起動 /usr/bin/viewer /p/pic.jpg", "5,13:Permission denied"}));

    // A stream that cannot be exported is reported the same way and nothing is started.
    sink.lines.clear();
    launcher.calls.clear();
    fs.add("/q/doc.txt");
    fs.addStream("/q/doc.txt", "pic.jpg", "x");
    workPlace.broken = true;
    opener.TreeView1DblClick(item("/q/doc.txt:pic.jpg"));
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_EQ(sink.bodies(), (Lines{"関連プログラム起動 /usr/bin/viewer /q/doc.txt:pic.jpg", "5,13:Permission denied"}));
}

// --- The question before a start -------------------------------------------------------------------

struct StartCase {
    const char* label;
    std::function<void(OpenerTest&)> setUp;  // files, streams, links and programs of the case
    std::function<void(OpenerTest&, ItemOpener&)> act;
    bool nobodyToAsk = false;  // the opener has no one to ask
    bool answer = false;
    std::vector<std::string> asked;  // parts the question holds, in order; empty: no question
    Lines log;
    std::vector<LaunchCall> started;
};

class StartQuestionTest : public OpenerTest, public ::testing::WithParamInterface<StartCase> {};

void program(OpenerTest& t, const std::string& path, const std::string& zone)
{
    t.fs.add(path, "#!/bin/sh\n");
    t.associations.programs[path] = path;
    if (!zone.empty())
        t.fs.addStream(path, "Zone.Identifier", "[ZoneTransfer]\r\nZoneId=" + zone + "\r\nHostUrl=https://dl.example/x\r\n");
}

void link(OpenerTest& t, const std::string& file, const std::string& target)
{
    t.fs.add(file);
    t.paths.links[file] = target;
}

void doubleClick(OpenerTest& t, ItemOpener& o, const char* X)
{
    o.TreeView1DblClick(t.item(X));
}

TEST_P(StartQuestionTest, DoubtfulStartsAreAskedAboutAndANoStartsNothing)
{
    const StartCase& c = GetParam();
    c.setUp(*this);
    consent.answer = c.answer;
    test::RecordingSink otherSink;
    OperationLog otherLog{otherSink};
    ItemOpener unasked{fs, associations, launcher, paths, workPlace, otherLog};
    c.act(*this, c.nobodyToAsk ? unasked : opener);
    ASSERT_EQ(consent.questions.size(), c.asked.empty() ? 0u : 1u);
    std::size_t at = 0;
    for (const std::string& part : c.asked) {
        at = consent.questions[0].find(part, at);
        EXPECT_NE(at, std::string::npos) << part << "\n in \n" << consent.questions[0];
    }
    EXPECT_EQ(c.nobodyToAsk ? otherSink.bodies() : sink.bodies(), c.log);
    EXPECT_EQ(launcher.calls, c.started);
}

const std::string Closing = "\n\n起動してもよいですか？";

INSTANTIATE_TEST_SUITE_P(
    Cases, StartQuestionTest,
    ::testing::Values(
        StartCase{"internetProgramDeclined", [](OpenerTest& t) { program(t, "/d/set\nup.sh", "3"); },
                  [](OpenerTest& t, ItemOpener& o) { doubleClick(t, o, "/d/set\nup.sh"); }, false, false,
                  {"プログラム \"/d/set\\nup.sh\" を起動しようとしています。\n\n", "入手元のゾーン: 3 インターネット\n",
                   "入手元 URL: https://dl.example/x\n", Closing},
                  {"起動を中止 /d/set\\nup.sh"}, {}},
        StartCase{"restrictedProgramAllowed", [](OpenerTest& t) { program(t, "/d/setup.sh", "4"); },
                  [](OpenerTest& t, ItemOpener& o) { doubleClick(t, o, "/d/setup.sh"); }, false, true, {"4 制限付きサイト"},
                  {"プログラム起動 /d/setup.sh", "42,0:Success"}, {{"", "/d/setup.sh", {}}}},
        StartCase{"trustedZoneUnasked", [](OpenerTest& t) { program(t, "/d/setup.sh", "2"); },
                  [](OpenerTest& t, ItemOpener& o) { doubleClick(t, o, "/d/setup.sh"); }, false, false, {},
                  {"プログラム起動 /d/setup.sh", "42,0:Success"}, {{"", "/d/setup.sh", {}}}},
        StartCase{"xdgOriginWithNobodyToAsk",
                  [](OpenerTest& t) {
                      program(t, "/d/setup.sh", "");
                      t.fs.addStream("/d/setup.sh", "xdg.origin.url", "https://dl.example/\xe2\x80\xae" "exe.sh\n");
                  },
                  [](OpenerTest& t, ItemOpener& o) { doubleClick(t, o, "/d/setup.sh"); }, true, true, {},
                  {"起動を中止 /d/setup.sh"}, {}},
        StartCase{"xdgOriginEscaped",
                  [](OpenerTest& t) {
                      program(t, "/d/setup.sh", "");
                      t.fs.addStream("/d/setup.sh", "xdg.origin.url", "https://dl.example/\xe2\x80\xae" "exe.sh\n");
                  },
                  [](OpenerTest& t, ItemOpener& o) { doubleClick(t, o, "/d/setup.sh"); }, false, false,
                  {"入手元 URL: https://dl.example/\\u202eexe.sh\n"}, {"起動を中止 /d/setup.sh"}, {}},
        StartCase{"linkToADownloadAllowed",
                  [](OpenerTest& t) {
                      link(t, "/p/app.lnk", "/dl/tool");
                      program(t, "/dl/tool", "3");
                  },
                  [](OpenerTest& t, ItemOpener& o) { doubleClick(t, o, "/p/app.lnk"); }, false, true, {"3 インターネット"},
                  {"リンクから実体を起動 /p/app.lnk /dl/tool", "42,0:Success"}, {{"", "/dl/tool", {}}}},
        StartCase{"programChosenByHand", [](OpenerTest& t) { program(t, "/dl/ed", "3"); },
                  [](OpenerTest& t, ItemOpener& o) {
                      o.OpenByDirect2Click(t.item("/p/doc.txt"), [] { return std::optional<std::string>("/dl/ed"); });
                  },
                  false, false, {"プログラム \"/dl/ed\""}, {"起動を中止 /dl/ed /p/doc.txt"}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

// --- The text editor and the other open commands ----------------------------------------------

TEST_F(OpenerTest, NotePadOpensThePlainTextProgramAndReportsAMissingOne)
{
    opener.NotePad2Click(item("/p/my doc.txt"));
    EXPECT_EQ(sink.bodies(), (Lines{"メモ帳を起動 /p/my doc.txt", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/usr/bin/text-editor", {"/p/my doc.txt"}}}));

    sink.lines.clear();
    launcher.calls.clear();
    associations.byType.erase("text/plain");
    opener.NotePad2Click(item("/p/doc.txt"));
    EXPECT_EQ(sink.bodies(),
              (Lines{"メモ帳を起動 /p/doc.txt", "31,1155:No application is registered as handling this file"}));
    EXPECT_TRUE(launcher.calls.empty());
}


TEST_F(OpenerTest, OpenByStartsTheChosenApplicationAndACancelDoesNothing)
{
    FakeChooser chooser;
    opener.OpenBy2Click(item("/p/doc.txt"), chooser);
    EXPECT_EQ(chooser.asked, Args{"/p/doc.txt"});
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_TRUE(launcher.calls.empty());

    chooser.answer = Application{"/usr/bin/viewer", "viewer.desktop"};
    opener.OpenBy2Click(item("/p/my doc.txt"), chooser);
    EXPECT_EQ(sink.bodies(), (Lines{"プログラム選択起動 /usr/bin/viewer /p/my doc.txt", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/usr/bin/viewer", {"/p/my doc.txt"}}}));
}

TEST_F(OpenerTest, OpenByDirectPassesTheItemAsOneArgumentBlanksIncluded)
{
    int shown = 0;
    opener.OpenByDirect2Click(item("/p/doc.txt"), [&]() -> std::optional<std::string> {
        ++shown;
        return std::nullopt;
    });
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_TRUE(launcher.calls.empty());

    fs.add("/p/my doc.txt");
    fs.addStream("/p/my doc.txt", "notes", "n");
    opener.OpenByDirect2Click(item("/p/my doc.txt:notes"), [] { return std::optional<std::string>("/t/ed"); });
    EXPECT_EQ(sink.bodies(), (Lines{"プログラム指定で起動 /t/ed /p/my doc.txt:notes", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/t/ed", {"/run/work/notes"}}}));

    launcher.calls.clear();
    opener.OpenByDirect2Click(item("/p/my doc.txt"), [] { return std::optional<std::string>("/t/my ed"); });
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"", "/t/my ed", {"/p/my doc.txt"}}}));
}

TEST_F(OpenerTest, CopyOpenCopiesTheStreamAndOpensTheCopy)
{
    fs.add("/p/doc.txt", "text");
    fs.addStream("/p/doc.txt", "pic.jpg", "JPEG");
    associations.byExtension[".jpg"] = "/usr/bin/viewer";
    EXPECT_FALSE(opener.CopyOpen2Click(item("/p/doc.txt:pic.jpg")));
    EXPECT_EQ(fs.files["/run/work/pic.jpg"].data, "JPEG");
    EXPECT_EQ(sink.bodies(), (Lines{"作業場所にコピー /p/doc.txt:pic.jpg /run/work/",
                                    "関連付けで起動 /usr/bin/viewer /run/work/pic.jpg", ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"open", "/run/work/pic.jpg", {}}}));
    // The program is that of the item, not of the copy.
    EXPECT_EQ(associations.asked, Args{"/p/doc.txt:pic.jpg"});

    // Twice in a row: the second copy replaces the first without a question.
    fs.addStream("/p/doc.txt", "pic.jpg", "JPEG2");
    EXPECT_FALSE(opener.CopyOpen2Click(item("/p/doc.txt:pic.jpg")));
    EXPECT_EQ(fs.files["/run/work/pic.jpg"].data, "JPEG2");
}

// The copy of a program opens like any document, in the program for its name (here none).
TEST_F(OpenerTest, CopyOpenOfAProgramOpensTheCopyByItsNameAndAnEmptyProgramKeepsItsBlank)
{
    fs.add("/t/tool.sh", "#!/bin/sh\n");
    associations.programs["/t/tool.sh"] = "/t/tool.sh";
    EXPECT_FALSE(opener.CopyOpen2Click(item("/t/tool.sh")));
    EXPECT_EQ(sink.bodies(), (Lines{"作業場所にコピー /t/tool.sh /run/work/", "関連付けで起動  /run/work/tool.sh",
                                    ResultLine}));
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"open", "/run/work/tool.sh", {}}}));
}

TEST_F(OpenerTest, CopyOpenUsesTheLongFormOfTheWorkPlace)
{
    workPlace.path = "/RUN~1/work/";
    paths.longForms["/RUN~1/"] = "/run user/";
    fs.add("/p/memo.txt", "m");
    EXPECT_FALSE(opener.CopyOpen2Click(item("/p/memo.txt")));
    EXPECT_EQ(fs.files["/run user/work/memo.txt"].data, "m");
    EXPECT_EQ(sink.bodies()[0], "作業場所にコピー /p/memo.txt /run user/work/");
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"open", "/run user/work/memo.txt", {}}}));
}

TEST_F(OpenerTest, CopyOpenFailuresEndTheCommandWithoutLogOrLaunch)
{
    // The item cannot be read.
    auto error = opener.CopyOpen2Click(item("/p/gone.txt"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->side, CopyError::Side::Source);
    EXPECT_EQ(error->path, "/p/gone.txt");

    // The copy cannot be created: a stream named ".." must not reach the work place's parent.
    fs.add("/p/doc.txt");
    fs.addStream("/p/doc.txt", "..", "x");
    error = opener.CopyOpen2Click(item("/p/doc.txt:.."));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->side, CopyError::Side::Target);
    EXPECT_EQ(error->path, "/run/work/..");

    workPlace.broken = true;
    error = opener.CopyOpen2Click(item("/p/doc.txt"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->side, CopyError::Side::Target);

    EXPECT_TRUE(sink.lines.empty());
    EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(OpenerTest, CopyOpenOfAnItemAlreadyInTheWorkPlaceKeepsIt)
{
    fs.add("/run/work/pic.jpg", "only copy");
    EXPECT_FALSE(opener.CopyOpen2Click(item("/run/work/pic.jpg")));
    EXPECT_EQ(fs.files["/run/work/pic.jpg"].data, "only copy");
    EXPECT_EQ(launcher.calls, (std::vector<LaunchCall>{{"open", "/run/work/pic.jpg", {}}}));
}

class FakeSheet final : public PropertiesSheet {
public:
    bool ShowPropertiesSheet(const std::string& path) override
    {
        shown.push_back(path);
        return works;
    }
    bool works = true;
    std::vector<std::string> shown;
};

TEST_F(OpenerTest, PropertiesAreLoggedAfterwardsWhetherOrNotTheyShowed)
{
    FakeSheet sheet;
    opener.Property2Click(item("/p/doc.txt"), sheet);
    sheet.works = false;
    opener.Property2Click(item("/p/other.txt"), sheet);
    EXPECT_EQ(sheet.shown, (Args{"/p/doc.txt", "/p/other.txt"}));
    EXPECT_EQ(sink.bodies(), (Lines{"プロパティを表示 /p/doc.txt", "プロパティを表示 /p/other.txt"}));
    EXPECT_TRUE(launcher.calls.empty());
}

}  // namespace
