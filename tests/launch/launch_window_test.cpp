// The open commands through the window: Form1's handlers on the selected node, with a recording
// launcher and the test's own desktop, the program chooser and boxes answered from the test.

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/form1.h"
#include "common/dialogs.h"
#include "common/qt_log_view.h"
#include "gio_setup.h"
#include "launch/qt_open_with_dialog.h"
#include "launch_fakes.h"
#include "platform/linux/workplace.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

class ChooserDialogs final : public Dialogs {
public:
    struct OpenCall {
        QString title, folder, filter;
    };
    void showMessage(QWidget*, const QString&, const QString&) override {}
    bool askYesNo(QWidget*, const QString&, const QString&) override { return true; }
    void showError(QWidget*, const QString& text) override { errors << text; }
    QString getOpenFileName(QWidget*, const QString& title, const QString& folder, const QString& filter) override
    {
        openCalls.push_back({title, folder, filter});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }

    QStringList answers;
    std::vector<OpenCall> openCalls;
    QStringList errors;
};

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

class LaunchWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::shared_ptr<ChooserDialogs> dialogs;
    std::shared_ptr<test::FakeLauncher> launcher;
    std::shared_ptr<test::FakeAssociations> associations;
    std::unique_ptr<Form1> form;
    std::string parent, memo;

    QStringList logBodies() const
    {
        QStringList out;
        for (const QString& line : test::Memo1(*form)->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << line.mid(20);
        return out;
    }

    // A parent and one attached file; the log emptied.
    void load()
    {
        parent = dir->write("doc.csv", "a,b\n");
        std::filesystem::create_directories(dir->file("x"));
        memo = dir->write("x/memo.txt", "memo");
        form->dropFiles({parent});
        form->dropFiles({memo});
        test::Memo1(*form)->clear();
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<test::TempDir>();
        dialogs = std::make_shared<ChooserDialogs>();
        launcher = std::make_shared<test::FakeLauncher>();
        associations = std::make_shared<test::FakeAssociations>();
        Services services = Services::defaults();
        services.dialogs = dialogs;
        services.launcher = launcher;
        services.associations = associations;
        services.workPlace = std::make_shared<LinuxWorkPlace>(dir->file("work"));
        form = std::make_unique<Form1>(services, QStringList());
        test::Memo1(*form)->clear();
    }
    void cleanup()
    {
        form.reset();
        dir.reset();
    }

    void doubleClickExpandsTheRootAndOpensTheSelectedNode()
    {
        form->TreeView1DblClick();  // an empty workspace: nothing but the expansion
        QVERIFY(test::TreeView1(*form)->topLevelItem(0)->isExpanded());
        QVERIFY(logBodies().isEmpty());

        load();
        associations->byExtension[".txt"] = "/usr/bin/viewer";
        test::TreeView1(*form)->topLevelItem(0)->setExpanded(false);
        form->selectNode(1);
        test::Open2(*form)->trigger();
        QVERIFY(test::TreeView1(*form)->topLevelItem(0)->isExpanded());
        QCOMPARE(logBodies(), (QStringList{"関連プログラム起動 /usr/bin/viewer " + q(memo), "42,0:Success"}));
        QCOMPARE(launcher->calls, (std::vector<test::LaunchCall>{{"", "/usr/bin/viewer", {memo}}}));
    }

    void openByDirectAsksForAProgramAndRemembersIt()
    {
        load();
        form->selectNode(0);
        dialogs->answers = {QString(), QStringLiteral("/t/my ed"), QString()};
        form->OpenByDirect2Click();
        QVERIFY(logBodies().isEmpty());
        QVERIFY(launcher->calls.empty());
        form->OpenByDirect2Click();
        QCOMPARE(logBodies(), (QStringList{"プログラム指定で起動 /t/my ed " + q(parent), "42,0:Success"}));
        QCOMPARE(launcher->calls, (std::vector<test::LaunchCall>{{"", "/t/my ed", {parent}}}));
        form->OpenByDirect2Click();
        QCOMPARE(dialogs->openCalls.size(), size_t(3));
        QCOMPARE(dialogs->openCalls[0].title, QStringLiteral("開くプログラムを直接指定して開く"));
        // Every file is offered first, and each caption names its pattern once.
        QCOMPARE(dialogs->openCalls[0].filter, QStringLiteral("すべてのファイル(*.*)|*.*|実行プログラム(*.exe)|*.exe"));
        QCOMPARE(QtFilterFromPairs(dialogs->openCalls[0].filter), QStringLiteral("すべてのファイル(*.*) (*);;実行プログラム(*.exe) (*.exe)"));
                QCOMPARE(dialogs->openCalls[2].folder, QStringLiteral("/t/my ed"));
    }

    // The copy of a stream holds the stream's bytes, also beside a real file that looks like its
    // stream path, and under a name with a colon.
    void copyOpenTakesTheStreamItselfBesideALookAlike()
    {
        if (!dir->supportsUserAttributes())
            QSKIP("no user attributes here");
        parent = dir->write("doc.csv", "a,b\n");
        QVERIFY(test::SetStream(parent, "notes.txt", "the stream"));
        QVERIFY(test::SetStream(parent, "a:b.txt", "the other stream"));
        dir->write("doc.csv:notes.txt", "a look-alike file");
        form->dropFiles({parent});
        const std::string own = dir->file("work/" + LinuxWorkPlace::OwnerFolderName(parent) + "/");
        for (int node = 1; node <= 2; ++node) {
            form->selectNode(node);
            form->CopyOpen2Click();
        }
        QVERIFY(dialogs->errors.isEmpty());
        QCOMPARE(test::ReadFile(own + "notes.txt"), std::string("the stream"));
        QCOMPARE(test::ReadFile(own + "a:b.txt"), std::string("the other stream"));
    }

    void copyOpenCopiesOrShowsTheErrorBox()
    {
        load();
        form->selectNode(1);
        form->CopyOpen2Click();
        const std::string own = dir->file("work/" + LinuxWorkPlace::OwnerFolderName(memo) + "/");
        const std::string copy = own + "memo.txt";
        std::ifstream in(copy);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}), std::string("memo"));
        QCOMPARE(logBodies().at(0), "作業場所にコピー " + q(memo) + " " + q(own));
        QCOMPARE(launcher->calls, (std::vector<test::LaunchCall>{{"open", copy, {}}}));

        // The attached file is gone: the error box, nothing logged, nothing started.
        std::filesystem::remove(memo);
        test::Memo1(*form)->clear();
        launcher->calls.clear();
        form->CopyOpen2Click();
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY(dialogs->errors[0].startsWith("ファイル \"" + q(memo) + "\" は開けません。"));
        QVERIFY(dialogs->errors[0].size() > QString("ファイル \"" + q(memo) + "\" は開けません。").size());
        QVERIFY(logBodies().isEmpty());
        QVERIFY(launcher->calls.empty());
    }

    void copyFileNamePutsTheNodeTextOnTheClipboard()
    {
        load();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        form->selectNode(1);
        form->CopyFileName2Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), q(memo));
        QVERIFY(logBodies().isEmpty());
    }

    void propertiesFallBackToTheOwnWindowWithoutAFileManager()
    {
        load();
        form->selectNode(0);
        form->Property2Click();
        QCOMPARE(logBodies(), (QStringList{"プロパティを表示 " + q(parent)}));
        // The session bus of this test leads nowhere, so Tessaly's own window shows.
        auto findSheet = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("PropertiesDialog") && w->isVisible())
                    return qobject_cast<QDialog*>(w);
            return static_cast<QDialog*>(nullptr);
        };
        QTRY_VERIFY(findSheet());
        QDialog* sheet = findSheet();
        QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("PropertyName"))->text(), QStringLiteral("doc.csv"));
        QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("PropertyFolder"))->text(), q(dir->path()));
        // Names are shown as they are, and the window is wide enough for its whole title.
        QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("PropertyName"))->textFormat(), Qt::PlainText);
        QVERIFY(sheet->width() > sheet->fontMetrics().horizontalAdvance(sheet->windowTitle()));
        sheet->close();
    }

    void openByListsTheDesktopsApplicationsAndStartsTheChosenOne()
    {
        load();
        form->selectNode(0);
        QStringList listed;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<OpenWithDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            for (int i = 0; i < dialog->list()->count(); ++i)
                listed << dialog->list()->item(i)->text();
            dialog->list()->setCurrentRow(1);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        form->OpenBy2Click();
        QCOMPARE(listed, (QStringList{"Test Viewer", "Test Editor"}));
        const std::string recorder = test::TestDesktop().recorder;
        QCOMPARE(logBodies(), (QStringList{"プログラム選択起動 " + q(recorder) + " " + q(parent), "42,0:Success"}));
        QCOMPARE(launcher->calls, (std::vector<test::LaunchCall>{{"", recorder, {parent}}}));

        // Cancelled: nothing at all.
        test::Memo1(*form)->clear();
        launcher->calls.clear();
        QTimer::singleShot(0, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                qobject_cast<QDialog*>(dialog)->reject();
        });
        form->OpenBy2Click();
        QVERIFY(logBodies().isEmpty());
        QVERIFY(launcher->calls.empty());
    }
};

int main(int argc, char** argv)
{
    test::TempDir root;
    test::MakeTestDesktop(root.path());
    QApplication app(argc, argv);
    LaunchWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "launch_window_test.moc"
