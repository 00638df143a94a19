// The main window driven as a user would: the command line, drops, reset, removal, clicks, the
// tree's context menu and shortcuts, the tabs and the log. Real files with user attributes in a
// fresh temporary folder; only the boxes and file choosers are scripted.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QClipboard>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/form1.h"
#include "app/services.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "common/qt_log_model.h"
#include "common/qt_log_view.h"
#include "common/qt_name_label.h"
#include "platform/linux/linux_filesystem.h"
#include "support/scripted_dialogs.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

QString q(const std::string& bytes)
{
    return Form1::qs(bytes);
}

QString exePath()
{
    return QCoreApplication::applicationFilePath();
}

// The settings file of the test's windows, in the test's own folder.
std::string settingsFile;

// A window as the program creates it, with scripted boxes.
struct Window {
    explicit Window(const QStringList& arguments = {})
    {
        Services services = Services::defaults();
        services.dialogs = dialogs;
        services.settingsFile = settingsFile;
        form = std::make_unique<Form1>(services, arguments);
        form->show();
    }
    explicit Window(CommandLineBytes arguments)
    {
        Services services = Services::defaults();
        services.dialogs = dialogs;
        services.settingsFile = settingsFile;
        form = std::make_unique<Form1>(services, std::move(arguments));
        form->show();
    }
    Form1& operator*() { return *form; }
    Form1* operator->() { return form.get(); }

    std::shared_ptr<test::ScriptedDialogs> dialogs = std::make_shared<test::ScriptedDialogs>();
    std::unique_ptr<Form1> form;
};

// The log's lines without their timestamps; a line whose first 20 characters are not a timestamp
// is returned whole behind "no stamp: " so that the comparison shows it.
QStringList logBodies(const Form1& form)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d{8}-\\d{6}\\.\\d{3} $"));
    QStringList out;
    for (int i = 0; i < test::Memo1(form)->lineCount(); ++i) {
        const QString line = test::Memo1(form)->line(i);
        out << (stamp.match(line.left(20)).hasMatch() ? line.mid(20) : QStringLiteral("no stamp: ") + line);
    }
    return out;
}

// Sends what a desktop sends when files are dragged over the window and let go. Returns whether
// the window took the drop.
bool dropOn(Form1& form, const QStringList& paths, QWidget* target = nullptr)
{
    if (!target)
        target = &form;
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const QPoint pos = target->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QTreeWidgetItem* treeItem(Form1& form, int index)
{
    QTreeWidgetItem* root = test::TreeView1(form)->topLevelItem(0);
    return index == 0 ? root : root->child(index - 1);
}

QStringList treeTexts(Form1& form)
{
    QStringList out;
    QTreeWidgetItem* root = test::TreeView1(form)->topLevelItem(0);
    out << root->text(0);
    for (int i = 0; i < root->childCount(); ++i)
        out << root->child(i)->text(0);
    return out;
}

// The enabled state of the context menu's items, in menu order, as "1" and "0".
QString enabledItems(Form1& form)
{
    QString out;
    for (QAction* a : {test::Open2(form), test::NotePad2(form), test::OpenBy2(form), test::OpenByDirect2(form),
                       test::CopyOpen2(form), test::SaveAs2(form), test::Delete2(form), test::Property2(form),
                       test::CopyFileName2(form)})
        out += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

// Opens the tree's context menu as a right click at pos (viewport coordinates) or the menu key
// does, reads what the open menu offers and closes it. Empty when no menu opened.
QString contextMenuAt(Form1& form, QPoint pos, QContextMenuEvent::Reason reason = QContextMenuEvent::Mouse)
{
    QString seen;
    QTimer::singleShot(0, &form, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            if (menu == test::PopupMenu1(form))
                seen = enabledItems(form);
            menu->close();
        }
    });
    QWidget* target = reason == QContextMenuEvent::Mouse ? test::TreeView1(form)->viewport() : test::TreeView1(form);
    QContextMenuEvent event(reason, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
    return seen;
}

QPoint itemCenter(Form1& form, int index)
{
    return test::TreeView1(form)->visualItemRect(treeItem(form, index)).center();
}

bool saveCommandsEnabled(Form1& form, bool on)
{
    for (QAction* a : {test::Save1(form), test::SaveAs1(form), test::SaveSelected1(form), test::ToolButton3(form),
                       test::ToolButton4(form)})
        if (a->isEnabled() != on)
            return false;
    return true;
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;

    QString file(const std::string& name, const std::string& content = "x")
    {
        return q(dir->write(name, content));
    }
    void stream(const QString& file, const std::string& name, const std::string& value)
    {
        QVERIFY(test::SetStream(Form1::bytes(file), name, value));
    }
    // The streams of path in the order the system lists them, as the tree shows them.
    QStringList streamTexts(const QString& path)
    {
        QStringList out;
        for (const auto& s : LinuxFileSystem().listStreams(Form1::bytes(path)))
            out << path + QLatin1Char(':') + q(s.name);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<test::TempDir>();
        if (!dir->supportsUserAttributes())
            QSKIP("the temporary folder's file system keeps no user attributes");
        QLocale::setDefault(QLocale::c());
        settingsFile = dir->file("Tessaly.ini");
    }
    void cleanup() { dir.reset(); }

    void startWithoutArgument()
    {
        Window w;
        QCOMPARE(logBodies(*w), QStringList{QStringLiteral("単体で起動 ") + exePath()});
        QCOMPARE(w->statusText(), QString());
        QCOMPARE(test::PageControl1(*w)->currentIndex(), 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tessaly"));
        QVERIFY(w->workspace().isEmpty());
        QVERIFY(saveCommandsEnabled(*w, false));
        QVERIFY(w.dialogs->boxes.isEmpty());
        // The clock shows at once, as yyyy/mm/dd hh:mm, in a panel of 120 pixels.
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}$"))
                    .match(test::StatusPanel0(*w)->text())
                    .hasMatch());
        QCOMPARE(test::StatusPanel0(*w)->width(), 120);
        QVERIFY(test::Timer1(*w)->isActive());
        QCOMPARE(test::Timer1(*w)->interval(), 1000);
        QVERIFY(!w->windowIcon().isNull());
    }

    void startWithOnePathWithBlanks()
    {
        const QString path = file("my doc 1.txt", "hello");
        stream(path, "notes", "12345");
        stream(path, "pic.jpg", "jpeg");
        Window w({path});
        QStringList expected{QStringLiteral("D&Dで起動 ") + exePath() + QLatin1Char(' ') + path,
                             QStringLiteral("親ファイルに設定 ") + path};
        const QStringList streams = streamTexts(path);
        QCOMPARE(streams.size(), 2);
        for (const QString& s : streams)
            expected << QStringLiteral("代替ストリーム発見 ") + s;
        QCOMPARE(logBodies(*w), expected);
        QCOMPARE(w->statusText(), QStringLiteral("my doc 1.txt を受取りました。"));
        QCOMPARE(treeTexts(*w), QStringList{path} + streams);
        QVERIFY(treeItem(*w, 0)->isSelected());
        QVERIFY(treeItem(*w, 0)->isExpanded());
        QVERIFY(saveCommandsEnabled(*w, true));
    }

    // A path that names nothing is loaded all the same: an empty parent without streams.
    void startWithMissingPath()
    {
        const QString missing = q(dir->file("gone.txt"));
        Window w({missing});
        QCOMPARE(logBodies(*w), (QStringList{QStringLiteral("D&Dで起動 ") + exePath() + QLatin1Char(' ') + missing,
                                             QStringLiteral("親ファイルに設定 ") + missing}));
        QCOMPARE(treeTexts(*w), QStringList{missing});
        QCOMPARE(w->workspace().root().size, 0u);
        QCOMPARE(w->statusText(), QStringLiteral("gone.txt を受取りました。"));
    }

    void startWithTwoArgumentsEndsAndLoadsNothing()
    {
        const QString a = file("a.txt"), b = file("b.txt");
        Window w({a, b});
        QCOMPARE(w.dialogs->boxes.size(), 1);
        QCOMPARE(w.dialogs->boxes[0].text, QStringLiteral("親として指定できるファイルは１つだけでございます。"));
        QCOMPARE(w.dialogs->boxes[0].caption, QStringLiteral("Tessaly"));
        QVERIFY(w->isEnding());
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(logBodies(*w), QStringList());
        QVERIFY(w->workspace().isEmpty());
    }

    void dropsFollowTheOneParentRule()
    {
        Window w;
        const QString doc = file("doc.txt");
        stream(doc, "notes", "n");
        const QString x = file("x.txt"), y = file("y"), z = file("z.bin");
        QDir(q(dir->path())).mkdir(QStringLiteral("folder"));
        const QString folder = q(dir->file("folder"));

        // Several files on an empty workspace: refused, nothing loaded, status unchanged.
        QVERIFY(dropOn(*w, {x, y, z}));
        QCOMPARE(logBodies(*w).mid(1), QStringList{QStringLiteral("D&Dで複数の親ファイル受取り不可 3")});
        QCOMPARE(w.dialogs->boxes.size(), 1);
        QCOMPARE(w.dialogs->boxes[0].text, QStringLiteral("親として指定できるファイルは１つだけでございます。"));
        QVERIFY(w->workspace().isEmpty());
        QCOMPARE(treeTexts(*w), QStringList{QString()});
        QCOMPARE(w->statusText(), QString());

        // One file on an empty workspace becomes the parent; it may be let go over the tree.
        QVERIFY(dropOn(*w, {doc}, test::TreeView1(*w)->viewport()));
        QCOMPARE(logBodies(*w).mid(2), (QStringList{QStringLiteral("D&Dで受取り ") + doc, QStringLiteral("親ファイルに設定 ") + doc,
                                                    QStringLiteral("代替ストリーム発見 ") + doc + QStringLiteral(":notes")}));
        QCOMPARE(w->statusText(), QStringLiteral("doc.txt を受取りました。"));
        QVERIFY(saveCommandsEnabled(*w, true));

        // Three on a loaded workspace become children in drop order; a folder is taken like a file.
        // The read-only log takes no drop of its own: the window gets it.
        test::PageControl1(*w)->setCurrentIndex(2);
        QVERIFY(dropOn(*w, {x, folder, z}, test::Memo1(*w)->viewport()));
        QCOMPARE(test::Memo1(*w)->lineCount(), 11);  // nothing pasted into it
        QCOMPARE(logBodies(*w).mid(5),
                 (QStringList{QStringLiteral("D&Dで受取り ") + x, QStringLiteral("子ファイルに設定 ") + x,
                              QStringLiteral("D&Dで受取り ") + folder, QStringLiteral("子ファイルに設定 ") + folder,
                              QStringLiteral("D&Dで受取り ") + z, QStringLiteral("子ファイルに設定 ") + z}));
        QCOMPARE(w->statusText(), QStringLiteral("3個のファイルを受取りました。"));
        QCOMPARE(treeTexts(*w), (QStringList{doc, doc + QStringLiteral(":notes"), x, folder, z}));
        QCOMPARE(w.dialogs->boxes.size(), 1);

        // One more whose name is taken: refused by the loader, still reported as received.
        QDir(q(dir->path())).mkdir(QStringLiteral("sub"));
        const QString sameName = q(dir->write("sub/x.txt", "y"));
        QVERIFY(dropOn(*w, {sameName}));
        QCOMPARE(logBodies(*w).mid(11), (QStringList{QStringLiteral("D&Dで受取り ") + sameName,
                                                     QStringLiteral("同名の子ファイル追加不可 ") + sameName}));
        QCOMPARE(w->statusText(), QStringLiteral("x.txt を受取りました。"));
        QCOMPARE(w->workspace().nodeCount(), 5);

        // Links that are not local files are not taken at all.
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.form.get(), &enter);
        QVERIFY(!enter.isAccepted());
    }

    // A dropped path longer than 255 bytes is loaded whole, never under a cut name.
    void longDroppedPathLoadsWhole()
    {
        std::string folder = dir->path();
        while (folder.size() < 300)
            folder += "/長いフォルダ名のフォルダ";
        std::filesystem::create_directories(folder);
        const QString path = q(folder + "/本文.txt");
        QVERIFY(path.toUtf8().size() > 255);
        { std::ofstream(Form1::bytes(path)) << "12345"; }
        stream(path, "notes", "abc");

        Window w;
        QVERIFY(dropOn(*w, {path}));
        QCOMPARE(treeTexts(*w), (QStringList{path, path + QStringLiteral(":notes")}));
        QCOMPARE(w->workspace().root().size, 5u);
        QCOMPARE(w->workspace().node(1).size, 3u);
        QCOMPARE(logBodies(*w).mid(1, 2), (QStringList{QStringLiteral("D&Dで受取り ") + path, QStringLiteral("親ファイルに設定 ") + path}));
    }

    void openAsksForAFile()
    {
        Window w;
        const QString doc = file("doc.txt");
        w.dialogs->files = {doc};
        test::Open1(*w)->trigger();
        QCOMPARE(w.dialogs->choosers.size(), 1);
        QCOMPARE(w.dialogs->choosers[0][2], QStringLiteral("すべてのファイル(*.*)|*.*|テキストファイル(*.txt)|*.txt"));
        QCOMPARE(logBodies(*w).mid(1), (QStringList{QStringLiteral("ダイアログから読込み ") + doc, QStringLiteral("親ファイルに設定 ") + doc}));
        QCOMPARE(w->statusText(), QStringLiteral("doc.txt を読込みました。"));

        // Cancelled: nothing happens.
        test::ToolButton2(*w)->trigger();
        QCOMPARE(w.dialogs->choosers.size(), 2);
        QCOMPARE(logBodies(*w).size(), 3);
        QCOMPARE(w->statusText(), QStringLiteral("doc.txt を読込みました。"));
    }

    void resetAndRemoval()
    {
        const QString doc = file("doc.txt");
        stream(doc, "notes", "n");
        stream(doc, "pic.jpg", "p");
        const QStringList streams = streamTexts(doc);
        Window w({doc});
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));

        // Removing a child takes it out of the list only; the stream stays on the file.
        w->selectNode(1);
        test::Delete2(*w)->trigger();
        QCOMPARE(logBodies(*w).last(), QStringLiteral("一覧から削除 ") + streams[0]);
        QCOMPARE(treeTexts(*w), (QStringList{doc, streams[1]}));
        QCOMPARE(streamTexts(doc), streams);
        QVERIFY(test::TreeView1(*w)->currentItem() != nullptr);
        QVERIFY(saveCommandsEnabled(*w, true));

        // Removing the root resets, as New does.
        w->selectNode(0);
        test::Delete2(*w)->trigger();
        QCOMPARE(logBodies(*w).last(), QStringLiteral("作業域を初期化"));
        QVERIFY(w->workspace().isEmpty());
        QCOMPARE(treeTexts(*w), QStringList{QString()});
        QCOMPARE(w->statusText(), QString());
        QVERIFY(saveCommandsEnabled(*w, false));

        // New from the toolbar after a load.
        QVERIFY(dropOn(*w, {doc}));
        QVERIFY(saveCommandsEnabled(*w, true));
        test::ToolButton1(*w)->trigger();
        QCOMPARE(logBodies(*w).last(), QStringLiteral("作業域を初期化"));
        QVERIFY(w->workspace().isEmpty());
        QCOMPARE(w->statusText(), QString());
        QVERIFY(saveCommandsEnabled(*w, false));
        QCOMPARE(streamTexts(doc), streams);
    }

    void clickShowsNameAndSize()
    {
        const QString big = file("big.bin");
        QVERIFY(::truncate(Form1::bytes(big).c_str(), 1234567) == 0);
        stream(big, "notes", "12345");
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));

        // The empty workspace's root says nothing.
        w->setStatusText(QStringLiteral("before"));
        QTest::mouseClick(test::TreeView1(*w)->viewport(), Qt::LeftButton, {}, itemCenter(*w, 0));
        QCOMPARE(w->statusText(), QStringLiteral("before"));

        QVERIFY(dropOn(*w, {big}));
        QTest::mouseClick(test::TreeView1(*w)->viewport(), Qt::LeftButton, {}, itemCenter(*w, 0));
        QCOMPARE(w->statusText(), QStringLiteral("big.bin (1,234,567 Byte)"));
        QTest::mouseClick(test::TreeView1(*w)->viewport(), Qt::LeftButton, {}, itemCenter(*w, 1));
        QCOMPARE(w->statusText(), QStringLiteral("notes (5 Byte)"));

        // The user's locale gives the separator.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QTest::mouseClick(test::TreeView1(*w)->viewport(), Qt::LeftButton, {}, itemCenter(*w, 0));
        QCOMPARE(w->statusText(), QStringLiteral("big.bin (1.234.567 Byte)"));
    }

    void contextMenuOffersWhatFits()
    {
        // Items: Open2 NotePad2 OpenBy2 OpenByDirect2 CopyOpen2 SaveAs2 Delete2 Property2 CopyFileName2.
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, 0)), QStringLiteral("000000000"));

        const QString readme = file("README");
        stream(readme, "notes", "n");
        stream(readme, "pic.jpg", "p");
        QVERIFY(dropOn(*w, {readme}));
        const QStringList streams = streamTexts(readme);
        const int notes = 1 + int(streams.indexOf(readme + QStringLiteral(":notes")));
        const int pic = 1 + int(streams.indexOf(readme + QStringLiteral(":pic.jpg")));

        w->selectNode(notes);
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, 0)), QStringLiteral("001101111"));  // root without extension
        QCOMPARE(w->workspace().selected(), 0);  // the right click selected it
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, notes)), QStringLiteral("000101101"));
        QCOMPARE(w->workspace().selected(), notes);
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, pic)), QStringLiteral("110111101"));
        QCOMPARE(w->workspace().selected(), pic);

        // Over empty space or from the keyboard the selection stays.
        const QPoint below(10, test::TreeView1(*w)->viewport()->height() - 5);
        QVERIFY(test::TreeView1(*w)->itemAt(below) == nullptr);
        QCOMPARE(contextMenuAt(*w, below), QStringLiteral("110111101"));
        QCOMPARE(w->workspace().selected(), pic);
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, notes), QContextMenuEvent::Keyboard), QStringLiteral("110111101"));
        QCOMPARE(w->workspace().selected(), pic);

        // A parent with an extension offers everything on its root.
        test::New1(*w)->trigger();
        const QString doc = file("doc.txt");
        QVERIFY(dropOn(*w, {doc}));
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, 0)), QStringLiteral("111111111"));
        test::New1(*w)->trigger();
        QCOMPARE(contextMenuAt(*w, itemCenter(*w, 0)), QStringLiteral("000000000"));
    }

    void shortcutsActOnTheTree()
    {
        const QString doc = file("doc.txt");
        stream(doc, "a.txt", "a");
        stream(doc, "b", "b");
        Window w({doc});
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const QStringList streams = streamTexts(doc);
        const int withExtension = 1 + int(streams.indexOf(doc + QStringLiteral(":a.txt")));
        const int plain = 1 + int(streams.indexOf(doc + QStringLiteral(":b")));
        // Enter opens the selected item; watched here without starting any program.
        QObject::disconnect(test::Open2(*w), &QAction::triggered, nullptr, nullptr);
        QSignalSpy opened(test::Open2(*w), &QAction::triggered);

        w->activateWindow();
        test::TreeView1(*w)->setFocus();
        QTRY_VERIFY(test::TreeView1(*w)->hasFocus());
        w->selectNode(withExtension);
        QTest::keyClick(test::TreeView1(*w), Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        QTest::keyClick(test::TreeView1(*w), Qt::Key_Enter);
        QCOMPARE(opened.size(), 2);
        w->selectNode(plain);  // no extension: nothing to open it with
        QTest::keyClick(test::TreeView1(*w), Qt::Key_Return);
        QCOMPARE(opened.size(), 2);

        // Del removes the selected node, only while the tree has the focus.
        test::PageControl1(*w)->setCurrentIndex(2);
        test::Memo1(*w)->setFocus();
        QTRY_VERIFY(test::Memo1(*w)->hasFocus());
        QTest::keyClick(test::Memo1(*w), Qt::Key_Delete);
        QCOMPARE(w->workspace().nodeCount(), 3);
        test::PageControl1(*w)->setCurrentIndex(0);
        test::TreeView1(*w)->setFocus();
        QTRY_VERIFY(test::TreeView1(*w)->hasFocus());
        QTest::keyClick(test::TreeView1(*w), Qt::Key_Delete);
        QCOMPARE(w->workspace().nodeCount(), 2);
        QCOMPARE(logBodies(*w).last(), QStringLiteral("一覧から削除 ") + doc + QStringLiteral(":b"));
    }

    void logTabShowsTheNewestLine()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        for (int i = 0; i < 500; ++i)
            w->log().AppendLogLine("line ", std::to_string(i));
        test::PageControl1(*w)->setCurrentIndex(2);
        QScrollBar* bar = test::Memo1(*w)->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        // The user scrolls up, looks at the tree, and comes back.
        bar->setValue(0);
        test::PageControl1(*w)->setCurrentIndex(0);
        w->log().AppendLogLine("line ", "newest");
        QTest::mouseClick(test::PageControl1(*w)->tabBar(), Qt::LeftButton, {},
                          test::PageControl1(*w)->tabBar()->tabRect(2).center());
        QCOMPARE(test::PageControl1(*w)->currentIndex(), 2);
        QVERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        // A long newest line is shown from its start.
        test::PageControl1(*w)->setCurrentIndex(0);
        w->log().AppendLogLine("line ", std::string(2000, 'x'));
        test::PageControl1(*w)->setCurrentIndex(2);
        QTRY_COMPARE(bar->value(), bar->maximum());
        QCOMPARE(test::Memo1(*w)->horizontalScrollBar()->value(), 0);
    }

    // The log is read and copied as text: a drag selects characters across lines, a double click
    // one whole line, Ctrl+A and Ctrl+C everything, and lines in a batch arrive one by one.
    void logSelectsAndCopies()
    {
        Window w;
        test::PageControl1(*w)->setCurrentIndex(2);
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        LogView& log = *test::Memo1(*w);
        log.clear();
        log.appendLines("first line\nzweite Zeile \xe6\x97\xa5\xe6\x9c\xac\nthird");
        QCOMPARE(log.lineCount(), 3);
        QCOMPARE(log.line(1), QStringLiteral("zweite Zeile 日本"));
        const int height = log.fontMetrics().lineSpacing();
        const QPoint lineStart(3, 3 + height / 2);
        const QPoint second(3 + log.fontMetrics().horizontalAdvance(QStringLiteral("zwe")), 3 + height * 3 / 2);
        QTest::mousePress(log.viewport(), Qt::LeftButton, {}, lineStart);
        QTest::mouseMove(log.viewport(), second);
        QTest::mouseRelease(log.viewport(), Qt::LeftButton, {}, second);
        QCOMPARE(log.selectedText(), QStringLiteral("first line\nzwe"));
        QTest::mouseDClick(log.viewport(), Qt::LeftButton, {}, second);
        QCOMPARE(log.selectedText(), QStringLiteral("zweite Zeile 日本"));
        log.setFocus();
        QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), log.toPlainText());
        QCOMPARE(log.toPlainText().count(QLatin1Char('\n')), 2);
    }

    void logKeepsEveryLine()
    {
        Window w;
        for (int i = 0; i < 100000; ++i)
            w->log().AppendLogLine("line ", std::to_string(i));
        const LogView& log = *test::Memo1(*w);
        QCOMPARE(log.lineCount(), 100001);
        QCOMPARE(log.line(0).mid(20), QStringLiteral("単体で起動 ") + exePath());
        QCOMPARE(log.line(50000).mid(20), QStringLiteral("line 49999"));
        QCOMPARE(log.line(100000).mid(20), QStringLiteral("line 99999"));

        // A scan's batches are kept as they came; lines appended after one follow it.
        LogModel model;
        LogLines batch;
        for (int i = 0; i < 20000; ++i)
            batch.append("20261209-181610.123 ", "line ", std::to_string(i));
        model.appendLines("before");
        model.takeLines(std::move(batch));
        model.appendLines("after\nand more");
        QCOMPARE(model.lineCount(), 20003);
        QCOMPARE(model.line(0), QStringLiteral("before"));
        QCOMPARE(model.line(20000), QStringLiteral("20261209-181610.123 line 19999"));
        QCOMPARE(model.line(20002), QStringLiteral("and more"));
        QCOMPARE(model.toPlainText().count(QLatin1Char('\n')), 20002);
    }

    // What the command line names is taken byte for byte: names that are not valid UTF-8, names
    // that look like toolkit options, relative paths (against the current folder); an empty
    // argument names nothing and is passed over.
    void commandLineBytes_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArray>("root");  // "" for a start on its own; "@/" stands for the folder
        QTest::newRow("invalid UTF-8") << QByteArrayList{"@/bad\xffname.txt"} << QByteArray("@/bad\xffname.txt");
        QTest::newRow("toolkit option") << QByteArrayList{"-reverse"} << QByteArray("@/-reverse");
        QTest::newRow("relative") << QByteArrayList{"./sub/../rel.txt"} << QByteArray("@/sub/../rel.txt");
        QTest::newRow("empty alone") << QByteArrayList{""} << QByteArray();
        QTest::newRow("empty beside one") << QByteArrayList{"", "rel.txt", ""} << QByteArray("@/rel.txt");
    }
    void commandLineBytes()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArray, root);
        const std::string folder = dir->path();
        std::filesystem::create_directories(folder + "/sub");
        for (const char* name : {"bad\xffname.txt", "-reverse", "rel.txt"})
            dir->write(name, "12345");
        const auto expand = [&](QByteArray b) { return b.replace("@/", QByteArray::fromStdString(folder + "/")).toStdString(); };
        std::vector<std::string> raw;
        for (const QByteArray& a : arguments)
            raw.push_back(expand(a));

        const std::string before = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        Window w{CommandLineBytes(raw)};
        std::filesystem::current_path(before);

        const std::string expected = expand(root);
        QCOMPARE(w->workspace().root().text, expected);
        QCOMPARE(saveCommandsEnabled(*w, !expected.empty()), true);
        QVERIFY(w.dialogs->boxes.isEmpty());
        if (expected.empty()) {
            QCOMPARE(logBodies(*w), QStringList{QStringLiteral("単体で起動 ") + exePath()});
        } else {
            QCOMPARE(w->workspace().root().size, 5u);  // the file itself, not a look-alike
            QCOMPARE(w->layoutDirection(), Qt::LeftToRight);
        }
    }

    // Names reach the window as bytes by every way in: a drop's raw URI list and the file dialogs.
    // A dialog can only hand a name back as text; one it could not carry is refused, never
    // exchanged for another file.
    void undecodableNamesByDropAndDialog()
    {
        const std::string bad = dir->write("drop\xff name%.txt", "12345");
        Window w;
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"),
                     "# comment\r\nfile://" + QByteArray::fromStdString(dir->path()) + "/drop%FF%20name%25.txt\r\n");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.form.get(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(w->workspace().root().text, bad);
        QCOMPARE(w->workspace().root().size, 5u);

        // The Open dialog gives the name back with U+FFFD: refused with a message, nothing loaded.
        test::New1(*w)->trigger();
        const QString changed = Form1::qs(bad);
        QVERIFY(changed.contains(QChar::ReplacementCharacter));
        w.dialogs->files = {changed};
        test::Open1(*w)->trigger();
        QCOMPARE(w.dialogs->boxes.size(), 1);
        QCOMPARE(w.dialogs->boxes[0].text, QStringLiteral("ファイル名 \"") + changed +
                                               QStringLiteral("\" はダイアログでは正しく扱えません。ドロップかコマンドラインで指定してください。"));
        QVERIFY(w->workspace().isEmpty());
    }

    // Names that look like markup are shown as they are in the status bar and in the boxes.
    void markupInNamesIsShownLiterally()
    {
        const QString name = QStringLiteral("<b>big<br>name.txt");
        const QString path = file(Form1::bytes(name), "x");
        Window w({path});
        QCOMPARE(w->statusText(), name + QStringLiteral(" を受取りました。"));
        QCOMPARE(test::StatusPanel1(*w)->textFormat(), Qt::PlainText);

        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            shown = label->text();
            format = label->textFormat();
            box->accept();
        });
        WidgetDialogs().showError(w.form.get(), QStringLiteral("ファイル \"") + path + QStringLiteral("\" は開けません。"));
        QCOMPARE(shown, QStringLiteral("ファイル \"") + path + QStringLiteral("\" は開けません。."));
        QCOMPARE(format, Qt::PlainText);
    }

    // The toolkit's own texts are Japanese too; each filter names its pattern once.
    void fileDialogsReadInJapanese()
    {
        Window w;
        QStringList filters, buttons;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; i < combo->count(); ++i)
                filters << combo->itemText(i);
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                if (b->isVisible())
                    buttons << b->text();
            dialog->reject();
        });
        WidgetDialogs().getOpenFileName(w.form.get(), QString(), q(dir->path()),
                                        QStringLiteral("すべてのファイル(*.*)|*.*|テキストファイル(*.txt)|*.txt"));
        QCOMPARE(filters, (QStringList{QStringLiteral("すべてのファイル(*.*)"), QStringLiteral("テキストファイル(*.txt)")}));
        QVERIFY2(buttons.contains(QStringLiteral("キャンセル")), qPrintable(buttons.join(QLatin1Char(','))));
        // The context menu names the keys as the menu table does.
        QCOMPARE(test::Open2(*w)->shortcut().toString(), QStringLiteral("Enter"));
        QCOMPARE(test::CopyOpen2(*w)->shortcut().toString(), QStringLiteral("Alt+Enter"));
    }

    void resizeLaysOutTabsAndStatus()
    {
        Window w;
        w->resize(600, 400);
        QTRY_COMPARE(w->width(), 600);
        QTabBar* tabs = test::PageControl1(*w)->tabBar();
        const int narrowTab = tabs->tabRect(0).width();
        const int narrowPanel = test::StatusPanel1(*w)->width();
        QCOMPARE(narrowTab, test::PageControl1(*w)->contentsRect().width() / 5);
        w->resize(1000, 400);
        QTRY_COMPARE(w->width(), 1000);
        QCOMPARE(tabs->tabRect(0).width(), test::PageControl1(*w)->contentsRect().width() / 5);
        QVERIFY(tabs->tabRect(0).width() > narrowTab);
        QVERIFY(test::StatusPanel1(*w)->width() >= narrowPanel + 350);
        QCOMPARE(test::StatusPanel0(*w)->width(), 120);
        // The cancel button stays in the middle of the result list.
        const QRect list = test::ListView1(*w)->geometry();
        const QRect button = test::CancelBtn1(*w)->geometry();
        QCOMPARE(test::CancelBtn1(*w)->parentWidget(), test::Panel1(*w));
        QCOMPARE(button.left(), (list.width() - button.width()) / 2 + list.left());
        QCOMPARE(button.top(), (test::Panel1(*w)->height() - button.height()) / 2);
    }
};

int main(int argc, char* argv[])
{
    // The window reads and writes nothing of the user's own: settings and caches go to a folder of
    // the test's.
    test::TempDir home;
    ::setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", home.file("cache").c_str(), 1);
    ::unsetenv("XDG_CURRENT_DESKTOP");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    LoadToolkitTranslation(app);
    Form1Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "form1_test.moc"
