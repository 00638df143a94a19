// The save commands through the window: Form1's handlers with the real file layer on the test's
// folder and a scripted stand-in for the file dialog and the error box.

#include <QDir>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/form1.h"
#include "common/dialogs.h"
#include "common/qt_log_view.h"
#include "common/texts.h"
#include "support/ntfs_volume.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

QString tr8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Answers the save dialog from a script and records what each dialog and box was given.
class ScriptedDialogs final : public Dialogs {
public:
    struct SaveCall {
        QString title, fileName, filter;
    };
    void showMessage(QWidget*, const QString& text, const QString&) override { messages << text; }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return true; }
    void showError(QWidget*, const QString& text) override { errors << text; }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString& title, const QString& fileName, const QString& filter) override
    {
        saveCalls.push_back({title, fileName, filter});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers;  // the paths the dialog returns in turn; an empty one cancels
    std::vector<SaveCall> saveCalls;
    QStringList errors;
    QStringList messages;
};

}  // namespace

class SavingWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::shared_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Form1> form;
    std::string parent, memo;

    QStringList logBodies() const
    {
        QStringList out;
        for (const QString& line : test::Memo1(*form)->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << line.mid(20);
        return out;
    }
    QStringList tree() const
    {
        QStringList out;
        QTreeWidgetItem* root = test::TreeView1(*form)->topLevelItem(0);
        out << root->text(0);
        for (int i = 0; i < root->childCount(); ++i)
            out << root->child(i)->text(0);
        return out;
    }
    static QString q(const std::string& s) { return QString::fromStdString(s); }

    // The worked example: a parent with one stream and an attached file in another folder.
    void loadExample()
    {
        std::filesystem::create_directories(dir->file("p"));
        std::filesystem::create_directories(dir->file("x"));
        parent = dir->write("p/doc.txt", "parent data");
        QVERIFY(test::SetStream(parent, "notes", "old notes"));
        memo = dir->write("x/memo.txt", "memo content");
        form->dropFiles({parent});
        form->dropFiles({memo});
        test::Memo1(*form)->clear();
        form->setStatusText(QStringLiteral("before"));
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<test::TempDir>();
        if (!dir->supportsUserAttributes())
            QSKIP("the temporary folder's file system does not take user attributes");
        dialogs = std::make_shared<ScriptedDialogs>();
        Services services = Services::defaults();
        services.dialogs = dialogs;
        form = std::make_unique<Form1>(services, QStringList());
        form->New1Click();
        test::Memo1(*form)->clear();
    }
    void cleanup()
    {
        form.reset();
        dir.reset();
    }

    void overwriteSaveOfTheWorkedExample()
    {
        loadExample();
        form->Save1Click();
        QVERIFY(dialogs->errors.isEmpty());
        QVERIFY(dialogs->saveCalls.empty());
        const QString p = q(parent);
        const QStringList lines = logBodies();
        QCOMPARE(lines.mid(0, 7), (QStringList{"全体を上書き保存 " + p, "ヘッダ変更無し " + p, "ヘッダ変更無し " + p + ":notes",
                                               "子ファイルで保存 " + p + ":memo.txt", "作業域を初期化", "再読込み " + p,
                                               "親ファイルに設定 " + p}));
        // The reload lists the streams in the order the file system keeps them.
        QCOMPARE(lines.size(), 9);
        QStringList found = lines.mid(7);
        found.sort();
        QCOMPARE(found, (QStringList{"代替ストリーム発見 " + p + ":memo.txt", "代替ストリーム発見 " + p + ":notes"}));
        QCOMPARE(form->statusText(), QStringLiteral("doc.txt 全体を保存しました。"));
        QCOMPARE(tree(), (QStringList{p, lines.at(7).mid(10), lines.at(8).mid(10)}));
        QCOMPARE(test::TreeView1(*form)->currentItem(), test::TreeView1(*form)->topLevelItem(0));
        QVERIFY(test::Save1(*form)->isEnabled());
        QCOMPARE(test::StreamValue(parent, "notes"), std::string("old notes"));
        QCOMPARE(test::StreamValue(parent, "memo.txt"), std::string("memo content"));
        QCOMPARE(test::ReadFile(parent), std::string("parent data"));
    }

    void saveUnderANewNameAndTheRememberedFileName()
    {
        loadExample();
        const std::string target = dir->file("new.txt");
        dialogs->answers = {QString(), q(target)};
        form->SaveAs1Click();  // cancelled: nothing at all
        QVERIFY(logBodies().isEmpty());
        QCOMPARE(form->statusText(), QStringLiteral("before"));

        form->SaveAs1Click();
        QCOMPARE(dialogs->saveCalls.size(), size_t(2));
        QCOMPARE(dialogs->saveCalls[1].fileName, QString());  // nothing chosen before
        QVERIFY(dialogs->saveCalls[1].title.isEmpty());
        QCOMPARE(dialogs->saveCalls[1].filter, tr8(texts::FilterDocuments));
        const QString t = q(target);
        const QStringList lines = logBodies();
        QCOMPARE(lines.mid(0, 6), (QStringList{"親ファイルを保存 " + t, "子ファイルを保存 " + t + ":notes",
                                               "子ファイルを保存 " + t + ":memo.txt", "作業域を初期化", "再読込み " + t,
                                               "親ファイルに設定 " + t}));
        QCOMPARE(lines.size(), 8);
        QCOMPARE(form->statusText(), QStringLiteral("new.txt に保存しました。"));
        QCOMPARE(tree().size(), 3);
        QCOMPARE(tree().front(), t);
        QCOMPARE(test::ReadFile(target), std::string("parent data"));
        QCOMPARE(test::StreamValue(target, "notes"), std::string("old notes"));
        QCOMPARE(test::StreamValue(target, "memo.txt"), std::string("memo content"));
        QCOMPARE(test::StreamValue(parent, "memo.txt"), std::string("<none>"));  // the old parent is untouched

        // Saving one item offers its own name; the next whole save offers the path chosen last.
        form->selectNode(1);
        const std::string single = dir->file("single");
        dialogs->answers = {q(single), QString()};
        form->SaveAs2Click();
        QCOMPARE(dialogs->saveCalls[2].fileName, tree().at(1).section(QLatin1Char(':'), -1));
        form->SaveAs1Click();
        QCOMPARE(dialogs->saveCalls[3].fileName, q(single));
    }

    void saveTheSelectedItemAlone()
    {
        loadExample();
        const QStringList before = tree();
        form->selectNode(1);
        const std::string target = dir->file("notes copy");
        dialogs->answers = {q(target)};
        form->SaveAs2Click();
        QCOMPARE(dialogs->saveCalls.at(0).fileName, QStringLiteral("notes"));
        QCOMPARE(logBodies(), (QStringList{"単独で保存 " + q(parent) + ":notes " + q(target)}));
        QCOMPARE(form->statusText(), QStringLiteral("notes copy を保存しました。"));
        QCOMPARE(test::ReadFile(target), std::string("old notes"));
        QCOMPARE(tree(), before);

        // The parent alone: its data, none of its streams.
        form->selectNode(0);
        const std::string copy = dir->file("copy.txt");
        dialogs->answers = {q(copy)};
        form->SaveAs2Click();
        QCOMPARE(dialogs->saveCalls.at(1).fileName, QStringLiteral("doc.txt"));
        QCOMPARE(test::ReadFile(copy), std::string("parent data"));
        QCOMPARE(test::StreamValue(copy, "notes"), std::string("<none>"));
    }

    void deletedAttachedFileShowsTheCannotOpenBox()
    {
        loadExample();
        const QStringList before = tree();
        std::filesystem::remove(memo);
        form->Save1Click();
        QCOMPARE(dialogs->errors,
                 (QStringList{"ファイル \"" + q(memo) + "\" は開けません。" + q(std::strerror(ENOENT)) + " 保存先 \"" +
                              q(parent) + "\" は元のままです。"}));
        QCOMPARE(logBodies(), (QStringList{"全体を上書き保存 " + q(parent), "ヘッダ変更無し " + q(parent),
                                           "ヘッダ変更無し " + q(parent) + ":notes"}));
        QCOMPARE(tree(), before);
        QCOMPARE(form->statusText(), QStringLiteral("before"));
    }

    void tooLargeAttributeOnTheSecondOfThreeChildren()
    {
        const std::string p = dir->write("doc.txt", "parent");
        std::filesystem::create_directories(dir->file("in"));
        const std::string one = dir->write("in/one", "first");
        // Beyond what ext4 keeps in its one attribute block; where the file system takes more,
        // beyond the kernel's 64 KiB.
        const bool blockLimit = !test::SetStream(p, "probe", std::string(8000, 'p'));
        ::removexattr(p.c_str(), "user.probe");
        const std::string two = dir->write("in/two", std::string(blockLimit ? 8000 : 70 * 1024, 't'));
        const std::string three = dir->write("in/three", "third");
        form->dropFiles({p});
        form->dropFiles({one, two, three});
        test::Memo1(*form)->clear();
        const QStringList before = tree();
        const QString status = form->statusText();

        form->Save1Click();
        QCOMPARE(dialogs->errors.size(), 1);
        const QString box = dialogs->errors.front();
        QVERIFY2(box.startsWith("ファイル \"" + q(p) + ":two\" を作成できません。"), qPrintable(box));
        QVERIFY2(box.contains(tr8(texts::AttributeTooLargeToWrite)), qPrintable(box));
        // The box also tells that the parent did change, and how far.
        QVERIFY2(box.endsWith("保存先 \"" + q(p) + "\" では次の項目が新しい内容になりました: " + q(p) + ":one。ほかは元のままです。"),
                 qPrintable(box));
        QCOMPARE(logBodies(), (QStringList{"全体を上書き保存 " + q(p), "ヘッダ変更無し " + q(p),
                                           "子ファイルで保存 " + q(p) + ":one"}));
        QCOMPARE(test::StreamValue(p, "one"), std::string("first"));
        QCOMPARE(test::StreamValue(p, "two"), std::string("<none>"));
        QCOMPARE(test::StreamValue(p, "three"), std::string("<none>"));
        QCOMPARE(tree(), before);
        QCOMPARE(form->statusText(), status);
    }

    void errorPathIsShownAbsolute()
    {
        // A parent named by a relative path, as from the command line.
        const std::string p = dir->write("rel.txt", "parent");
        const QString old = QDir::currentPath();
        QDir::setCurrent(q(dir->path()));
        form->dropFiles({"rel.txt"});
        form->dropFiles({"./missing.txt"});
        form->Save1Click();
        QDir::setCurrent(old);
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY2(dialogs->errors.front().startsWith("ファイル \"" + q(dir->path()) + "/missing.txt\" は開けません。"),
                 qPrintable(dialogs->errors.front()));
    }

    // A found stream is saved and read under its own name, whatever bytes the name holds, and a
    // real file that looks like its stream path does not stand in for it.
    void streamsAreSavedUnderTheirOwnNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("lookAlike");
        QTest::newRow("beside a look-alike file") << "notes" << true;
        QTest::newRow("with a colon") << "a:b" << false;
        QTest::newRow("with a slash") << "dir/name" << false;
    }
    void streamsAreSavedUnderTheirOwnNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, lookAlike);
        const std::string n = name.toStdString();
        std::filesystem::create_directories(dir->file("p"));
        std::filesystem::create_directories(dir->file("x"));
        parent = dir->write("p/doc.txt", "parent data");
        QVERIFY(test::SetStream(parent, n, "stream of the parent"));
        if (lookAlike)
            dir->write("p/doc.txt:" + n, "bytes of another file");
        const std::string attached = dir->write("x/att.txt", "attached data");
        QVERIFY(test::SetStream(attached, n + "-2", "stream of the attached file"));
        form->dropFiles({parent});
        form->dropFiles({attached});
        QCOMPARE(tree(), (QStringList{q(parent), q(parent + ":" + n), q(attached), q(attached + ":" + n + "-2")}));

        // The stream alone, and the stream of the attached file as a new stream of the parent.
        const std::string alone = dir->file("alone.out");
        form->selectNode(1);
        dialogs->answers = {q(alone)};
        form->SaveAs2Click();
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join(' ')));
        QCOMPARE(test::ReadFile(alone), std::string("stream of the parent"));
        form->Save1Click();
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join(' ')));
        QCOMPARE(test::StreamValue(parent, n + "-2"), std::string("stream of the attached file"));
        QCOMPARE(test::StreamValue(parent, "att.txt"), std::string("attached data"));
        QCOMPARE(test::StreamValue(parent, n), std::string("stream of the parent"));

        // The whole under a new name: every stream keeps its name and its own bytes.
        const std::string copy = dir->file("copy.txt");
        dialogs->answers = {q(copy)};
        form->SaveAs1Click();
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join(' ')));
        QCOMPARE(test::ReadFile(copy), std::string("parent data"));
        QCOMPARE(test::StreamValue(copy, n), std::string("stream of the parent"));
        QCOMPARE(test::StreamValue(copy, n + "-2"), std::string("stream of the attached file"));
        if (lookAlike)
            QCOMPARE(test::ReadFile(dir->file("p/doc.txt:" + n)), std::string("bytes of another file"));
    }

    // A parent given through a symbolic link into an ntfs-3g volume that shows its streams as paths:
    // its streams are listed and written on the file the link names, never beside the link.
    void aParentThroughALinkIsTheFileItNames()
    {
        if (const std::string reason = test::NtfsVolume::unavailableReason(); !reason.empty())
            QSKIP(reason.c_str());
        test::NtfsVolume volume(dir->path());
        QCOMPARE(volume.format(24ull << 20), std::string());
        if (const std::string why = volume.mount("streams_interface=windows"); !why.empty())
            QSKIP(why.c_str());
        const std::string real = volume.path("doc.txt");
        std::ofstream(real, std::ios::binary) << "parent data";
        std::ofstream(real + ":notes", std::ios::binary) << "old notes";
        const std::string link = dir->file("link.txt");
        std::filesystem::create_symlink(real, link);
        memo = dir->write("memo.txt", "memo content");
        form->dropFiles({link});
        form->dropFiles({memo});
        QCOMPARE(tree(), (QStringList{q(link), q(link + ":notes"), q(memo)}));

        form->Save1Click();
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join(' ')));
        QVERIFY(!std::filesystem::exists(std::filesystem::symlink_status(dir->file("link.txt:memo.txt"))));
        QCOMPARE(test::ReadFile(real + ":memo.txt"), std::string("memo content"));
        QCOMPARE(test::ReadFile(real + ":notes"), std::string("old notes"));
        QVERIFY(logBodies().contains("子ファイルで保存 " + q(link) + ":memo.txt"));
        QStringList reloaded = tree();
        reloaded.sort();  // in the volume's own order
        QCOMPARE(reloaded, (QStringList{q(link), q(link + ":memo.txt"), q(link + ":notes")}));
        volume.unmount();
    }
};

QTEST_MAIN(SavingWindowTest)
#include "saving_window_test.moc"
