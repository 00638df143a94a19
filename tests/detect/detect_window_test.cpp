// The detection tab as the user drives it: double-click a folder, watch the scan, load a result,
// copy the list, cancel or close during a scan.

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>

#include "app/form1.h"
#include "app/services.h"
#include "common/qt_log_view.h"
#include "common/qt_text.h"
#include "detect/qt_detection.h"
#include "detect/qt_folder_model.h"
#include "detect/qt_scan_model.h"
#include "support/process.h"
#include "support/scripted_dialogs.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

class DetectWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<Form1> form;

    // The scanned tree lies one level below the test's own folder, so that the folder holding it
    // has no other entries: nothing the machine keeps in the temporary folder can shift it.
    QString root() const { return QString::fromStdString(dir->file("tree")); }
    QString path(const std::string& name) const { return root() + QLatin1Char('/') + QString::fromStdString(name); }
    std::string make(const std::string& name, std::vector<std::pair<std::string, std::string>> streams = {})
    {
        std::filesystem::create_directories(std::filesystem::path(dir->file("tree/" + name)).parent_path());
        const std::string p = dir->write("tree/" + name, "content");
        for (auto& [n, v] : streams)
            if (!test::SetStream(p, n, v))
                qFatal("cannot set a user attribute");
        return p;
    }
    DetectionPage* pane() const { return form->findChild<DetectionPage*>(); }
    QStringList logBodies() const
    {
        QStringList out;
        for (const QString& line : test::Memo1(*form)->toPlainText().split(QLatin1Char('\n')))
            out << line.mid(20);
        return out;
    }
    QStringList captions() const
    {
        QStringList out;
        auto* model = test::ListView1(*form)->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }
    // A point on the item that lies within the view, however wide the item is.
    static QPoint pointIn(QAbstractItemView* view, const QModelIndex& index)
    {
        const QRect r = view->visualRect(index);
        return {r.left() + qMin(r.width(), view->viewport()->width() - r.left()) / 2, r.center().y()};
    }
    // What a real double-click delivers to a widget: press, release, then the double-click event.
    static void doubleClick(QAbstractItemView* view, const QModelIndex& index)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, pointIn(view, index));
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, pointIn(view, index));
    }
    // Whether the pane's model shows folder with exactly these subfolders.
    static bool folderListed(QTreeView* pane, const QString& folder, const QStringList& names)
    {
        auto* model = qobject_cast<FolderTreeModel*>(pane->model());
        const QModelIndex at = model ? model->indexOf(folder.toStdString()) : QModelIndex();
        if (!at.isValid() || model->rowCount(at) != names.size())
            return false;
        for (int r = 0; r < names.size(); ++r)
            if (!names.contains(model->index(r, 0, at).data().toString()))
                return false;
        return true;
    }
    int rowOf(const QString& caption) const { return int(captions().indexOf(caption)); }
    // Selects folder in the pane and scans it as a double-click would.
    void scan(const QString& folder)
    {
        form->setFolderPaneFolder(folder);
        QCOMPARE(form->folderPaneFolder(), folder);
        form->FolderPaneDblClick();
        QTRY_VERIFY(!form->scanRunning());
    }
    // A batch per entry and none ahead of the window: a scan of more than a few entries is still
    // running when the test next looks.
    void scanInSteps() const
    {
        pane()->worker().batchInterval = std::chrono::milliseconds(0);
        pane()->worker().batchesAhead = 1;
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
        if (!dir->supportsUserAttributes())
            QSKIP("the temporary folder's file system does not take user attributes");
        form = std::make_unique<Form1>(Services::defaults(), QStringList{});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        test::PageControl1(*form)->setCurrentIndex(1);
    }

    void cleanup()
    {
        form.reset();
        dir.reset();
    }

    void doubleClickScansAndDoubleClickOnAChildLoadsItsParent()
    {
        const std::string a = make("a.txt", {{"s1", "12345"}});
        const std::string b = make("sub/b.bin", {{"x", "1"}, {"y", ""}});
        make("plain");
        // The pane reads folders in the background, and may have read some before the test began:
        // the click waits for the state (the folder that holds ours listed, with ours in it), not
        // for a signal that may already have gone by.
        QTreeView* pane = test::FolderPane(*form);
        form->setFolderPaneFolder(root());
        QTRY_VERIFY(folderListed(pane, QString::fromStdString(dir->path()), {QStringLiteral("tree")}));
        QCOMPARE(pane->toolTip(), QStringLiteral("ダブルクリックで検出開始"));
        const QPersistentModelIndex node = pane->currentIndex();
        QVERIFY(node.isValid());
        QVERIFY(!pane->isExpanded(node));
        // The selected folder comes into view. Folders that others make beside ours may move it, so
        // each click aims at where it is at that moment.
        const auto centre = [&] { return pointIn(pane, node); };
        const auto aimed = [&] {
            return pane->viewport()->rect().contains(centre()) && pane->indexAt(centre()) == QModelIndex(node);
        };
        QTRY_VERIFY(aimed());

        // A click shows the folder; a double-click toggles the node and scans it.
        QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, centre());
        QCOMPARE(form->statusText(), root());
        QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, centre());
        QVERIFY(pane->isExpanded(node));
        QTRY_VERIFY(!form->scanRunning());

        const QString qa = QString::fromStdString(a), qb = QString::fromStdString(b);
        QStringList rows = captions();
        QCOMPARE(rows.size(), 5);
        QVERIFY(rows.indexOf(qa) >= 0 && rows.at(rows.indexOf(qa) + 1) == qa + QStringLiteral(":s1"));
        const int bRow = rowOf(qb);
        QVERIFY(bRow >= 0);
        QCOMPARE(QSet<QString>(rows.begin() + bRow + 1, rows.begin() + bRow + 3),
                 (QSet<QString>{qb + QStringLiteral(":x"), qb + QStringLiteral(":y")}));
        QCOMPARE(form->statusText(), QStringLiteral("2:3 / 3 検出しました"));
        QVERIFY(test::CancelBtn1(*form)->isHidden());
        QVERIFY(test::ListView1(*form)->isEnabled());

        // Cells: the size right-aligned with its blank, the date on parents only.
        auto* model = test::ListView1(*form)->model();
        const int aRow = rowOf(qa);
        QCOMPARE(model->index(aRow, 1).data().toString(), QStringLiteral(" 7"));
        QCOMPARE(model->index(aRow + 1, 1).data().toString(), QStringLiteral(" 5"));
        QVERIFY(!model->index(aRow, 2).data().toString().isEmpty());
        QVERIFY(model->index(aRow + 1, 2).data().toString().isEmpty());
        QCOMPARE(model->index(aRow, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
                 Qt::AlignRight);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名前"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("サイズ"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("更新日付"));
        // The name column is wide enough for the longest caption.
        const QFontMetrics fm(test::ListView1(*form)->font());
        QVERIFY(test::ListView1(*form)->horizontalHeader()->sectionSize(0) >= fm.horizontalAdvance(qb + QStringLiteral(":x")));

        const QStringList log = logBodies();
        const QString start = QStringLiteral("フォルダ指定で検索 ") + root() + QLatin1Char('/');
        QVERIFY(log.contains(start));
        QVERIFY(log.indexOf(QStringLiteral("親ファイル検出 ") + qa) > log.indexOf(start));
        QVERIFY(log.indexOf(QStringLiteral("子ファイル検出 ") + qa + QStringLiteral(":s1")) >
                log.indexOf(QStringLiteral("親ファイル検出 ") + qa));

        // Double-clicking the second child of b.bin loads b.bin itself into a fresh workspace.
        doubleClick(test::ListView1(*form), model->index(bRow + 2, 0));
        QCOMPARE(form->workspace().root().text, b);
        QCOMPARE(form->workspace().nodeCount(), 3);
        QCOMPARE(test::PageControl1(*form)->currentIndex(), 0);
        QCOMPARE(form->statusText(), QStringLiteral("b.bin を読込みました。"));
        QVERIFY(logBodies().contains(QStringLiteral("検出リストから読込み ") + qb));
        // The list keeps its rows.
        QCOMPARE(captions(), rows);
    }

    void enterInTheListLoadsTheSelectedParent()
    {
        const std::string a = make("a.txt", {{"s", "1"}});
        scan(root());
        QCOMPARE(captions().size(), 2);
        test::ListView1(*form)->setCurrentIndex(test::ListView1(*form)->model()->index(1, 0));
        form->activateWindow();
        test::ListView1(*form)->setFocus();
        QTRY_VERIFY(test::ListView1(*form)->hasFocus());
        QTest::keyClick(test::ListView1(*form), Qt::Key_Return);
        QCOMPARE(form->workspace().root().text, a);
        QCOMPARE(test::PageControl1(*form)->currentIndex(), 0);
        QCOMPARE(form->statusText(), QStringLiteral("a.txt を読込みました。"));
    }

    void theRowUnderThePointerIsUnderlinedWithAHandCursor()
    {
        make("a.txt", {{"s", "1"}, {"t", "2"}});
        scan(root());
        QTableView* list = test::ListView1(*form);
        auto* model = list->model();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(list->viewport()->cursor().shape(), Qt::PointingHandCursor);
        // Every cell of a row or none: a partly underlined row would be a fault too.
        const auto underlined = [&](int row) {
            int cells = 0;
            for (int c = 0; c < model->columnCount(); ++c) {
                const QVariant font = model->index(row, c).data(Qt::FontRole);
                cells += font.isValid() && font.value<QFont>().underline();
            }
            if (cells != 0 && cells != model->columnCount())
                qFatal("row %d is underlined in some cells only", row);
            return cells != 0;
        };
        const auto moveTo = [&](QPoint at) {
            QMouseEvent move(QEvent::MouseMove, at, list->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &move);
        };

        QSignalSpy changes(model, &QAbstractItemModel::dataChanged);
        moveTo(pointIn(list, model->index(1, 0)));
        QVERIFY(underlined(1));
        QVERIFY(!underlined(0) && !underlined(2));
        // Moving within the same row redraws nothing; moving on moves the underline.
        const qsizetype before = changes.size();
        moveTo(pointIn(list, model->index(1, 0)) + QPoint(1, 0));
        QCOMPARE(changes.size(), before);
        moveTo(pointIn(list, model->index(2, 0)));
        QVERIFY(underlined(2) && !underlined(1));
        // Below the last row, and after leaving the list, no row is hot.
        moveTo(QPoint(5, list->viewport()->height() - 2));
        QVERIFY(!underlined(0) && !underlined(1) && !underlined(2));
        moveTo(pointIn(list, model->index(0, 0)));
        QVERIFY(underlined(0));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(list->viewport(), &leave);
        QVERIFY(!underlined(0));

        // A new scan starts without a hot row.
        moveTo(pointIn(list, model->index(1, 0)));
        scan(root());
        for (int r = 0; r < model->rowCount(); ++r)
            QVERIFY(!underlined(r));
    }

    void copyAllPutsEveryCaptionOnTheClipboard()
    {
        const std::string a = make("a.txt", {{"s", "1"}});
        scan(root());
        test::ListView1(*form)->setCurrentIndex(test::ListView1(*form)->model()->index(0, 0));
        test::CopyAll4(*form)->trigger();
        const QString qa = QString::fromStdString(a);
        QCOMPARE(QGuiApplication::clipboard()->text(), qa + QStringLiteral("\r\n") + qa + QStringLiteral(":s\r\n"));
        QVERIFY(test::ListView1(*form)->selectionModel()->selectedRows().isEmpty());

        // Several parents: every row in list order, the last line ended too.
        make("sub/b", {{"t", ""}});
        make("c", {{"u", "1"}});
        scan(root());
        QStringList rows = captions();
        QCOMPARE(rows.size(), 6);
        test::CopyAll4(*form)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), rows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

        // An empty list leaves the clipboard alone.
        std::filesystem::create_directories(dir->file("tree/empty"));
        scan(path("empty"));
        QCOMPARE(captions().size(), 0);
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        test::CopyAll4(*form)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    }

    // Names may hold any byte: a line break, carriage return, escape, tab or invalid UTF-8 shows as a
    // visible escape, so the scan, the load, a double-click and the copied list keep one log line
    // per event and one row (and one copied line) per stream; the raw bytes still reach the files.
    void hostileNamesNeverForgeLinesOrRows()
    {
        const std::string name = "p\nq\r\x1b[31m\t\xff.txt";
        const std::string forged = "s\n20260101-000000.000 プログラム起動 /bin/evil";
        const std::string quiet = "t\x1b\t\xfe";
        const std::string p = make(name, {{forged, "1"}, {quiet, "22"}});
        test::Memo1(*form)->clear();
        scan(root());
        // Streams come in the order the file system lists them.
        const std::vector<std::string> order = test::StreamNames(p);
        QCOMPARE(order.size(), std::size_t(2));
        QStringList rows{shownText(p)};
        for (const std::string& stream : order)
            rows << shownText(p + ":" + stream);
        QCOMPARE(captions(), rows);
        for (const QString& row : rows)
            QVERIFY(!row.contains(QLatin1Char('\n')) && !row.contains(QLatin1Char('\r')));

        test::ListView1(*form)->setCurrentIndex(test::ListView1(*form)->model()->index(2, 0));
        form->ListView1DblClick();
        QCOMPARE(form->workspace().root().text, p);
        QCOMPARE(test::TreeView1(*form)->topLevelItem(0)->text(0), shownText(p));
        QCOMPARE(form->statusText(), shownText(name) + QStringLiteral(" を読込みました。"));
        QCOMPARE(test::TreeView1(*form)->topLevelItem(0)->data(0, Qt::UserRole).toByteArray().toStdString(), p);
        const int quietNode = order[0] == quiet ? 1 : 2;
        form->selectNode(quietNode);
        form->TreeView1DblClick();  // no extension: refused, nothing started
        test::CopyAll4(*form)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), rows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

        const QString folder = shownText(dir->file("tree/"));
        const QStringList expected{
            "フォルダ指定で検索 " + folder, "親ファイル検出 " + rows[0], "子ファイル検出 " + rows[1],
            "子ファイル検出 " + rows[2], "作業域を初期化", "検出リストから読込み " + rows[0],
            "親ファイルに設定 " + rows[0], "代替ストリーム発見 " + rows[1], "代替ストリーム発見 " + rows[2],
            "関連付け不可 " + rows[quietNode]};
        QStringList bodies = logBodies();
        QCOMPARE(bodies.size(), expected.size() + 1);  // and the no-association line
        bodies.removeLast();
        QCOMPARE(bodies, expected);
    }

    void savingTheListWritesWhatTheCommandLineWrites()
    {
        auto dialogs = std::make_shared<test::ScriptedDialogs>();
        Services services = Services::defaults();
        services.dialogs = dialogs;
        form = std::make_unique<Form1>(services, QStringList{});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        test::PageControl1(*form)->setCurrentIndex(1);
        make("a,\"b\".txt", {{"s", "1"}, {"t", ""}});
        make("sub/c", {{"u", "22"}});
        make("none");
        scan(root());

        test::TempDir outDir;
        const std::string kept = outDir.write("kept.json", "an older list");
        QVERIFY(test::SetStream(kept, "note", "mine"));
        const struct {
            QAction* action;
            std::string format, target;
        } saves[] = {{test::SaveCsv4(*form), "csv", outDir.file("list.csv")}, {test::SaveJson4(*form), "json", kept}};
        for (const auto& save : saves) {
            dialogs->files << QString::fromStdString(save.target);
            save.action->trigger();
            const test::ProcessResult cli = test::RunProcess({TESSALY_CLI, "scan", root().toStdString(), "--format", save.format});
            QCOMPARE(cli.exitCode, 0);
            QCOMPARE(QString::fromStdString(test::ReadFile(save.target)), QString::fromStdString(cli.out));
            QCOMPARE(logBodies().last(), QStringLiteral("検出リストを保存 ") + QString::fromStdString(save.target));
        }
        // The file that was replaced keeps what it had besides its data.
        QCOMPARE(test::StreamValue(kept, "note"), std::string("mine"));
        // A target that cannot be created: the error box, no log line; cancelling does nothing.
        const int lines = test::Memo1(*form)->lineCount();
        dialogs->files << QString::fromStdString(outDir.file("gone/list.csv"));
        test::SaveCsv4(*form)->trigger();
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.front().text.contains(QStringLiteral("を作成できません")));
        test::SaveJson4(*form)->trigger();
        QCOMPARE(test::Memo1(*form)->lineCount(), lines);
    }

    void aFolderWithoutStreamsSaysNothingFound()
    {
        make("one");
        make("sub/two");
        scan(root());
        QCOMPARE(captions().size(), 0);
        QCOMPARE(form->statusText(), QStringLiteral("0:0 / 2 該当ありません"));
    }

    // The pane follows the disk: folders made or removed after start come and go, also where the
    // name is not valid UTF-8 (shown with escapes, scanned under its real name); F5 reads all again.
    void folderPaneFollowsTheDisk()
    {
        namespace fs = std::filesystem;
        QTreeView* view = test::FolderPane(*form);
        QAbstractItemModel* model = view->model();
        const std::string tree = root().toStdString();
        fs::create_directory(tree);
        form->setFolderPaneFolder(root());
        const QModelIndex top = view->currentIndex();
        view->expand(top);
        const auto names = [&](const QModelIndex& at) {
            QStringList out;
            for (int r = 0; r < model->rowCount(at); ++r)
                out << model->index(r, 0, at).data().toString();
            return out;
        };
        QCOMPARE(names(top), QStringList());

        fs::create_directory(tree + "/made later");
        QTRY_COMPARE(names(top), QStringList{QStringLiteral("made later")});
        const std::string bad = tree + "/bad\xff\x1bname";
        fs::create_directory(bad);
        make("bad\xff\x1bname/f.txt", {{"s", "1"}});
        QTRY_COMPARE(names(top), (QStringList{QStringLiteral("bad\\xff\\x1bname"), QStringLiteral("made later")}));
        fs::remove(tree + "/made later");
        QTRY_COMPARE(names(top), QStringList{QStringLiteral("bad\\xff\\x1bname")});

        // The undecodable folder is selected and scanned under its own bytes.
        form->setFolderPaneFolder(bad);
        QCOMPARE(form->folderPaneFolderBytes(), bad);
        form->FolderPaneDblClick();
        QTRY_VERIFY(!form->scanRunning());
        QCOMPARE(logBodies().filter(QStringLiteral("フォルダ指定で検索 ")).size(), 1);
        QCOMPARE(pane()->counters().ParentsFound, 1);

        // A folder the watcher cannot follow (its path is no text) is read again with F5.
        const QModelIndex badNode = view->currentIndex();
        view->expand(badNode);
        QCOMPARE(names(badNode), QStringList());
        // A folder made afterwards in a followed folder shows once the watcher has passed the first.
        fs::create_directory(bad + "/inner");
        fs::create_directory(tree + "/after");
        QTRY_COMPARE(names(top), (QStringList{QStringLiteral("after"), QStringLiteral("bad\\xff\\x1bname")}));
        QCOMPARE(names(badNode), QStringList());
        view->setFocus();
        QTRY_VERIFY(view->hasFocus());
        QTest::keyClick(view, Qt::Key_F5);
        QCOMPARE(names(badNode), QStringList{QStringLiteral("inner")});
    }

    // However the walk's findings are cut into batches, and wherever a cancel falls, the list shows
    // them in the order the log tells them, each parent row followed by all its streams.
    void rowsArriveInWalkOrderAndWholeGroups_data()
    {
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("a batch per entry") << 0 << 1 << false;
        QTest::newRow("batches as sent") << 8 << 1024 << false;
        QTest::newRow("a batch per entry, cancelled") << 0 << 1 << true;
        QTest::newRow("small batches, cancelled") << 0 << 5 << true;
    }
    void rowsArriveInWalkOrderAndWholeGroups()
    {
        QFETCH(int, intervalMs);
        QFETCH(int, lines);
        QFETCH(bool, cancel);
        for (int i = 0; i < 60; ++i)
            make("d" + std::to_string(i % 3) + "/f" + std::to_string(i), {{"s0", "0"}, {"s1", "1"}, {"s2", "2"}});
        pane()->worker().batchInterval = std::chrono::milliseconds(intervalMs);
        pane()->worker().batchLines = lines;
        pane()->worker().batchesAhead = 1;
        form->setFolderPaneFolder(root());
        form->FolderPaneDblClick();
        if (cancel) {
            QTRY_VERIFY(!captions().isEmpty() || !form->scanRunning());
            form->CancelBtn1Click();
        }
        QTRY_VERIFY(!form->scanRunning());

        QStringList logged;
        for (const QString& body : logBodies())
            if (body.startsWith(QStringLiteral("親ファイル検出 ")) || body.startsWith(QStringLiteral("子ファイル検出 ")))
                logged << body.mid(8);
        const QStringList rows = captions();
        QCOMPARE(rows, logged);
        QCOMPARE(rows.size() % 4, 0);
        for (int r = 0; r < rows.size(); r += 4) {
            QStringList children = rows.mid(r + 1, 3);
            children.sort();
            QCOMPARE(children, QStringList({rows[r] + QStringLiteral(":s0"), rows[r] + QStringLiteral(":s1"),
                                            rows[r] + QStringLiteral(":s2")}));
        }
        if (!cancel)
            QCOMPARE(rows.size(), 240);
    }

    void cancelStopsTheScanAndADoubleClickDuringItIsIgnored()
    {
        for (int i = 0; i < 40; ++i)
            make("f" + std::to_string(i), {{"s", "1"}});
        scanInSteps();
        form->setFolderPaneFolder(root());
        form->FolderPaneDblClick();
        QVERIFY(test::CancelBtn1(*form)->isVisible() && !test::ListView1(*form)->isEnabled());
        // A second double-click while the scan runs must not start a scan of its own.
        form->FolderPaneDblClick();
        test::CancelBtn1(*form)->click();
        QTRY_VERIFY(!form->scanRunning());
        const int rows = captions().size();
        QVERIFY2(rows < 80, "the scan went on after the cancel");
        QCOMPARE(logBodies().filter(QStringLiteral("フォルダ指定で検索 ")).size(), 1);
        QCOMPARE(logBodies().filter(QStringLiteral("検索を中断 ")).size(), 1);
        QVERIFY(test::FolderPane(*form)->isExpanded(test::FolderPane(*form)->currentIndex()));
        const int parents = rows / 2;
        QVERIFY(form->statusText().startsWith(QStringLiteral("%1:%1 / ").arg(parents)));
        QVERIFY(form->statusText().endsWith(QStringLiteral(" 中断しました (途中までの結果です)")));
        QVERIFY(test::CancelBtn1(*form)->isHidden());
        QVERIFY(test::ListView1(*form)->isEnabled());
    }

    // A close request during a scan: with "終了時に確認" on, the question comes while the scan runs
    // uncancelled; "いいえ" lets it finish whole in the open window, "はい" (or no question at all)
    // cancels it and the window closes once it has returned, without asking twice.
    void closingDuringAScanAsksBeforeItCancels()
    {
        for (int i = 0; i < 40; ++i)
            make("f" + std::to_string(i), {{"s", "1"}});
        const struct {
            const char* name;
            bool ask, yes;
        } cases[] = {{"no question", false, true}, {"answered yes", true, true}, {"answered no", true, false}};
        for (const auto& c : cases) {
            auto dialogs = std::make_shared<test::ScriptedDialogs>();
            Services services = Services::defaults();
            services.dialogs = dialogs;
            form = std::make_unique<Form1>(services, QStringList{});
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            test::PageControl1(*form)->setCurrentIndex(1);
            test::CloseQuery1(*form)->setChecked(c.ask);
            dialogs->answers << c.yes;
            scanInSteps();
            bool askedWhileRunning = false;
            dialogs->onQuestion = [&] { askedWhileRunning = form->scanRunning() && !pane()->cancelRequested(); };
            form->setFolderPaneFolder(root());
            form->FolderPaneDblClick();
            form->close();
            QVERIFY2(form->isVisible() && form->scanRunning(), c.name);
            QTRY_VERIFY2(!form->scanRunning(), c.name);
            QVERIFY2(askedWhileRunning == c.ask, c.name);
            if (c.yes) {
                QVERIFY2(captions().size() < 80, c.name);
                QVERIFY2(form->statusText().endsWith(QStringLiteral("中断しました (途中までの結果です)")), c.name);
                QTRY_VERIFY2(!form->isVisible(), c.name);
            } else {
                QCOMPARE(captions().size(), 80);
                QCOMPARE(form->statusText(), QStringLiteral("40:40 / 40 検出しました"));
                // A close queued by the scan's end would be delivered here.
                QCoreApplication::sendPostedEvents();
                QVERIFY2(form->isVisible(), c.name);
            }
            QCOMPARE(dialogs->boxes.size(), c.ask ? 1 : 0);
        }
    }
};

QTEST_MAIN(DetectWindowTest)
#include "detect_window_test.moc"
