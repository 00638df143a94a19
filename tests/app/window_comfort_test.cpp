// What makes the window readable and explains itself: rows that keep their last names, tooltips,
// the detection tab's keys, filter and scan strip, help without a browser, the log as accessible
// text and a preview that grows with the window.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>

#include "app/form1.h"
#include "common/qt_path_delegate.h"
#include "desktop/qt_help_window.h"
#include "desktop/recording_services.h"
#include "detect/qt_detection.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

class WindowComfortTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::shared_ptr<test::RecordingDialogs> dialogs;
    std::shared_ptr<test::RecordingUrlOpener> urls;
    std::unique_ptr<Form1> form;

    QString root() const { return QString::fromStdString(dir->file("tree")); }
    std::string make(const std::string& name, const std::vector<std::pair<std::string, std::string>>& streams)
    {
        std::filesystem::create_directories(std::filesystem::path(dir->file("tree/" + name)).parent_path());
        const std::string p = dir->write("tree/" + name, "content");
        for (const auto& [n, v] : streams)
            if (!test::SetStream(p, n, v))
                qFatal("cannot set a user attribute");
        return p;
    }
#define NEED_STREAMS()                      \
    if (!dir->supportsUserAttributes()) \
        QSKIP("the temporary folder's file system does not take user attributes")
    // The last names of the rows the result list shows, sorted.
    QStringList shownCaptions() const
    {
        QStringList out;
        QTableView* list = test::ListView1(*form);
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (!list->isRowHidden(r))
                out << QFileInfo(list->model()->index(r, 0).data().toString()).fileName();
        out.sort();
        return out;
    }
    void scanTree()
    {
        form->setFolderPaneFolder(root());
        form->FolderPaneDblClick();
        QTRY_VERIFY(!form->scanRunning());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void init()
    {
        dir = std::make_unique<test::TempDir>();
        dialogs = std::make_shared<test::RecordingDialogs>();
        urls = std::make_shared<test::RecordingUrlOpener>();
        Services services = Services::defaults();
        services.dialogs = dialogs;
        services.urls = urls;
        services.settingsFile = dir->file("Tessaly.ini");
        form = std::make_unique<Form1>(services, QStringList{});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup()
    {
        form.reset();
        dir.reset();
    }

    void pathsElideBeforeTheirLastName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("room");  // in average characters
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("keepsStart");  // the room holds the last name and some of the start
        const QString deep = QStringLiteral("/home/user/資料/2026/調査/現地/写真/報告書.txt");
        QTest::newRow("fits") << QStringLiteral("/a/b.txt") << 40 << QStringLiteral("/a/b.txt") << true;
        QTest::newRow("stream of a deep file") << deep + QStringLiteral(":Zone.Identifier") << 30
                                               << QStringLiteral(":Zone.Identifier") << true;
        QTest::newRow("deep file") << deep << 24 << QStringLiteral("/報告書.txt") << true;
        QTest::newRow("escaped name") << QStringLiteral("/x/y/z/w/v/u/a\\nb") << 12 << QStringLiteral("/a\\nb") << true;
        QTest::newRow("last name wider than the room") << QStringLiteral("/x/") + QString(60, QLatin1Char('n')) << 20
                                                       << QStringLiteral("nnnn") << false;
    }
    void pathsElideBeforeTheirLastName()
    {
        QFETCH(QString, text);
        QFETCH(int, room);
        QFETCH(QString, end);
        QFETCH(bool, keepsStart);
        const QFontMetrics metrics(QApplication::font());
        const int width = room * metrics.averageCharWidth();
        const QString shown = ElidePath(text, metrics, width);
        QVERIFY2(metrics.horizontalAdvance(shown) <= width, qPrintable(shown));
        QVERIFY2(shown.endsWith(end), qPrintable(shown));
        QVERIFY2(shown.startsWith(text.left(2)) == keepsStart, qPrintable(shown));
    }

    void rowsTellTheWholeEscapedPathAndSize()
    {
        NEED_STREAMS();
        const std::string file = make("a/b/c/d/e/報告書.txt", {{"line\nbreak", "12345"}});
        form->dropFiles({file});
        QTreeWidgetItem* child = test::TreeView1(*form)->topLevelItem(0)->child(0);
        QCOMPARE(child->toolTip(0), QString::fromStdString(file) + QStringLiteral(":line\\nbreak\nサイズ: 5 バイト"));
        QCOMPARE(test::TreeView1(*form)->topLevelItem(0)->toolTip(0),
                 QString::fromStdString(file) + QStringLiteral("\nサイズ: 7 バイト"));

        scanTree();
        QCOMPARE(test::ListView1(*form)->model()->index(1, 0).data(Qt::ToolTipRole).toString(), child->toolTip(0));
    }

    void enterScansTheSelectedFolderAndEscCancels()
    {
        NEED_STREAMS();
        for (int i = 0; i < 30; ++i)
            make("f" + std::to_string(i), {{"s", "x"}});
        test::PageControl1(*form)->setCurrentIndex(1);
        form->setFolderPaneFolder(root());
        DetectionPage* pane = form->findChild<DetectionPage*>();
        // A batch per entry and none ahead of the window: the scan waits for the window.
        pane->worker().batchInterval = std::chrono::milliseconds(0);
        pane->worker().batchesAhead = 1;
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        test::FolderPane(*form)->setFocus();
        // What the strip shows while the scan runs, batch by batch.
        auto* folder = test::Named<NameLabel>(*form, "ScanFolder4");
        auto* busy = test::Named<QProgressBar>(*form, "ScanBusy4");
        QStringList seen;
        QObject listening;
        connect(pane, &DetectionPage::progressed, &listening, [&] { seen << folder->text() + (busy->isVisible() ? "+" : ""); });
        // The walk waits for the window to take its first batch, so the Esc comes while it runs.
        QTest::keyClick(test::FolderPane(*form), Qt::Key_Return);
        QVERIFY(form->scanRunning());
        QTest::keyClick(test::FolderPane(*form), Qt::Key_Escape);
        QTRY_VERIFY(!form->scanRunning());
        QVERIFY(pane->counters().Cancelled);
        QVERIFY2(seen.contains(QStringLiteral("読込み中: ") + root() + QStringLiteral("/+")), qPrintable(seen.join('|')));
        QVERIFY(!busy->isVisible());
        QVERIFY(folder->text().isEmpty());
        // The strip names the counts the status bar shows as figures alone.
        const ScanCounters& c = pane->counters();
        const auto counts = [&c](const char* format) {
            return QString::fromUtf8(format).arg(c.ParentsFound).arg(c.ChildrenFound).arg(c.FilesExamined);
        };
        QCOMPARE(test::Named<QLabel>(*form, "ScanCounts4")->text(), counts("親ファイル %1　子ファイル %2　調べたファイル %3"));
        QVERIFY(form->statusText().startsWith(counts("%1:%2 / %3")));
    }

    void filterHidesFilesWhoseNamesDoNotMatch_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("beforeScan");  // typed before the rows arrive
        QTest::addColumn<QStringList>("shown");
        const QStringList all{"a.txt", "a.txt:s1", "c.dat", "c.dat:Note", "b.bin", "b.bin:x", "b.bin:y"};
        QTest::newRow("empty") << QString() << false << all;
        QTest::newRow("a parent's name") << "b.bin" << false << QStringList{"b.bin", "b.bin:x", "b.bin:y"};
        QTest::newRow("a stream's name, other case") << "NOTE" << false << QStringList{"c.dat", "c.dat:Note"};
        QTest::newRow("a folder in the path") << "/sub/" << false << QStringList{"b.bin", "b.bin:x", "b.bin:y"};
        QTest::newRow("nothing") << "zzz" << false << QStringList{};
        QTest::newRow("typed before the scan") << ":s1" << true << QStringList{"a.txt", "a.txt:s1"};
    }
    void filterHidesFilesWhoseNamesDoNotMatch()
    {
        NEED_STREAMS();
        QFETCH(QString, needle);
        QFETCH(bool, beforeScan);
        QFETCH(QStringList, shown);
        auto* filter = test::Named<QLineEdit>(*form, "Filter4");
        if (beforeScan)
            filter->setText(needle);
        make("a.txt", {{"s1", "12345"}});
        make("sub/b.bin", {{"x", "1"}, {"y", ""}});
        make("c.dat", {{"Note", "n"}});
        scanTree();
        filter->setText(needle);
        shown.sort();
        QCOMPARE(shownCaptions(), shown);
        // Copying the whole list still copies every row.
        test::CopyAll4(*form)->trigger();
        QCOMPARE(QApplication::clipboard()->text().count(QStringLiteral("\r\n")), 7);
        filter->clear();
        QCOMPARE(shownCaptions().size(), 7);
    }

    void helpAndHomePageWhenNothingOpensThem_data()
    {
        QTest::addColumn<bool>("opened");
        QTest::newRow("a program opens them") << true;
        QTest::newRow("nothing opens them") << false;
    }
    void helpAndHomePageWhenNothingOpensThem()
    {
        QFETCH(bool, opened);
        urls->opened = opened;
        // The help file is looked for beside the executable first.
        const QFileInfo exe(QCoreApplication::applicationFilePath());
        const QString help = exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".html");
        QFile file(help);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<html><body><h1>使い方</h1></body></html>") > 0);
        file.close();
        form->Help2Click();
        QFile::remove(help);
        QCOMPARE(urls->urls.value(0), QUrl::fromLocalFile(help));
        auto* window = form->findChild<HelpWindow*>();
        QCOMPARE(window && window->isVisible(), !opened);
        if (window)
            QVERIFY(window->browser()->toPlainText().contains(QStringLiteral("使い方")));

        form->Site1Click();
        QCOMPARE(dialogs->calls.size(), opened ? 0 : 1);
        if (!opened)
            QCOMPARE(dialogs->calls.front().text,
                     QStringLiteral("アドレス \"https://tessaly.example.org/\" を開けるプログラムが見つかりません。"));
    }

    void logReadsAsAccessibleText_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::newRow("first line") << 1 << QStringLiteral("一行目") << 0 << 3;
        QTest::newRow("at a line break") << 3 << QStringLiteral("一行目") << 0 << 3;
        QTest::newRow("start of a line") << 4 << "second" << 4 << 10;
        QTest::newRow("end of the text") << 12 << QStringLiteral("三") << 11 << 12;
    }
    void logReadsAsAccessibleText()
    {
        QFETCH(int, offset);
        QFETCH(QString, line);
        QFETCH(int, start);
        QFETCH(int, end);
        LogView* memo = test::Memo1(*form);
        test::PageControl1(*form)->setCurrentIndex(2);
        memo->clear();
        memo->appendLines("一行目\nsecond\n三");
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(memo);
        QAccessibleTextInterface* text = accessible ? accessible->textInterface() : nullptr;
        QVERIFY(text && accessible->state().readOnly);
        QCOMPARE(text->characterCount(), 12);
        QCOMPARE(text->text(0, 12), QStringLiteral("一行目\nsecond\n三"));
        int from = -1, to = -1;
        QCOMPARE(text->textAtOffset(offset, QAccessible::LineBoundary, &from, &to), line);
        QCOMPARE(std::pair(from, to), std::pair(start, end));
        // The view's selection and the accessible one are the same.
        text->setSelection(0, start, end);
        QCOMPARE(memo->selectedText(), line);
        QCOMPARE(text->cursorPosition(), end);
        memo->selectAll();
        text->selection(0, &from, &to);
        QCOMPARE(std::pair(from, to), std::pair(0, 12));
        // A character's place on screen leads back to it.
        const QRect rect = text->characterRect(start);
        QVERIFY(!rect.isEmpty());
        QCOMPARE(text->offsetAtPoint(rect.center()), start);
    }

    void previewTakesItsShareWhenTheWindowGrows()
    {
        form->resize(600, 400);
        QTRY_COMPARE(form->width(), 600);
        const int before = test::PreviewPane1(*form)->width();
        form->resize(1200, 400);
        QTRY_COMPARE(form->width(), 1200);
        QTRY_VERIFY2(test::PreviewPane1(*form)->width() > before * 19 / 10,
                     qPrintable(QString::number(test::PreviewPane1(*form)->width())));
    }
};

QTEST_MAIN(WindowComfortTest)
#include "window_comfort_test.moc"
