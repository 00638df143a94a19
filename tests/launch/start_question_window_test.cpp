// What the window starts, end to end: the real file system, desktop entries and launcher, a
// stand-in program that records its arguments, real link bytes and an NTFS volume. A doubtful
// program or link target starts only after a yes; documents and ordinary programs start at once.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/form1.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "common/qt_log_view.h"
#include "gio_setup.h"
#include "link_bytes.h"
#include "platform/linux/workplace.h"
#include "support/ntfs_volume.h"
#include "support/scripted_dialogs.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string args(std::initializer_list<std::string> list)
{
    std::string joined;
    for (const auto& a : list)
        joined += a + '\0';
    return joined;
}

// A program that tells it ran: it hands the recorder "--ran" and its own path.
std::string writeProgram(const std::string& path)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << "#!/bin/sh\nexec '" + test::TestDesktop().recorder + "' --ran \"$0\" \"$@\"\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

const char* const InternetZone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://dl.example/setup.sh\r\n";

// What one case prepares and does: the node acted on (0 the parent, 1 its first child), the
// command, and what the recorder is to receive from what started.
struct Case {
    std::string parent;
    int node = 0;
    bool copyOpen = false;
    std::string recorded;  // argument list, NUL after each
    QStringList log;       // the log's lines, without time stamps
    QStringList asked;     // parts of the question, in order; empty: no question
};

}  // namespace

class StartQuestionWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::shared_ptr<test::ScriptedDialogs> dialogs;
    std::unique_ptr<Form1> form;
    std::unique_ptr<test::NtfsVolume> ntfs;

    QStringList logBodies() const
    {
        QStringList out;
        for (const QString& line : test::Memo1(*form)->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << line.mid(20);
        return out;
    }

    void makeForm(std::shared_ptr<Dialogs> boxes)
    {
        Services services = Services::defaults();
        services.dialogs = std::move(boxes);
        services.settingsFile = dir->file("Tessaly.ini");
        services.workPlace = std::make_shared<LinuxWorkPlace>(dir->file("work"));
        form = std::make_unique<Form1>(services, QStringList());
    }

    // A fresh NTFS volume through ntfs-3g; why there is none, or "".
    std::string mountNtfs()
    {
        if (std::string why = test::NtfsVolume::unavailableReason(); !why.empty())
            return why;
        ntfs = std::make_unique<test::NtfsVolume>(dir->path());
        std::string why = ntfs->format(16 << 20);
        return why.empty() ? ntfs->mount("") : why;
    }

    // The cases by name, made in this test's folder. Every question is answered yes.
    Case make(const QString& name)
    {
        const QString recorder = q(test::TestDesktop().recorder);  // as the log names it
        Case c;
        std::string X;
        if (name == "internetProgram" || name == "ordinaryProgram" || name == "ntfsScript") {
            X = c.parent = writeProgram(name == "ntfsScript" ? ntfs->path("setup.sh") : dir->file("setup.sh"));
            if (name == "internetProgram") {
                test::SetStream(X, "Zone.Identifier", InternetZone);
                c.asked = {"プログラム \"" + q(X) + "\" を起動しようとしています。", "入手元のゾーン: 3 インターネット",
                           "入手元 URL: https://dl.example/setup.sh", "起動してもよいですか？"};
            }
            if (name == "ntfsScript")
                c.asked = {"FAT、NTFS、SMB"};
            c.recorded = args({"--ran", X});
            c.log = {"プログラム起動 " + q(X), "42,0:Success"};
        } else if (name == "ordinaryDocument") {
            // It carries the execute bit, as on a volume that gives it to every file.
            X = c.parent = dir->write("table.csv", "a,b\n");
            ::chmod(X.c_str(), 0755);
            c.recorded = args({X});
            c.log = {"関連プログラム起動 " + recorder + " " + q(X), "42,0:Success"};
        } else if (name.startsWith("streamBesideLookAlike")) {
            // The stream's text also names a real program lying beside the parent.
            c.parent = dir->write("doc.txt", "parent");
            test::SetStream(c.parent, "tool.sh", "echo stream\n");
            X = writeProgram(c.parent + ":tool.sh");
            c.node = 1;
            c.copyOpen = name.endsWith("Copied");
            const std::string own = dir->file("work/" + LinuxWorkPlace::OwnerFolderName(c.parent) + "/");
            c.recorded = args({"--opened", own + "tool.sh"});
            c.log = c.copyOpen ? QStringList{"作業場所にコピー " + q(X) + " " + q(own),
                                             "関連付けで起動 " + recorder + " " + q(own) + "tool.sh"}
                               : QStringList{"関連プログラム起動 " + recorder + " " + q(X)};
            c.log << "42,0:Success";
        } else if (name == "linkInStream") {
            c.parent = dir->write("doc.txt", "parent");
            const std::string target = writeProgram(dir->file("tool"));
            test::SetStream(c.parent, "app.lnk", test::MakeLink(target, "--wipe /home"));
            X = c.parent + ":app.lnk";
            c.node = 1;
            c.asked = {"リンク \"" + q(X) + "\" の実体 \"" + q(target) + "\" を起動しようとしています。",
                       "リンクに書かれた引数 (実体には渡しません): --wipe /home", "代替ストリームから取り出したものです。"};
            c.recorded = args({"--ran", target});
            c.log = {"リンクから実体を起動 " + q(X) + " " + q(target), "42,0:Success"};
        }
        return c;
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<test::TempDir>();
        if (!dir->supportsUserAttributes())
            QSKIP("no user attributes in the test folder: streams cannot be made");
        dialogs = std::make_shared<test::ScriptedDialogs>();
        makeForm(dialogs);
        test::ClearRecorder();
    }
    void cleanup()
    {
        form.reset();
        ntfs.reset();
        dir.reset();
    }

    void startsAsTheItemAndItsOriginSay_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"internetProgram", "ntfsScript", "ordinaryProgram", "ordinaryDocument",
                                 "streamBesideLookAlike", "streamBesideLookAlikeCopied", "linkInStream"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void startsAsTheItemAndItsOriginSay()
    {
        QFETCH(QString, name);
        if (name == QLatin1String("ntfsScript"))
            if (const std::string why = mountNtfs(); !why.empty())
                QSKIP(why.c_str());
        const Case c = make(name);
        dialogs->answers = {true};
        form->dropFiles({c.parent});
        test::Memo1(*form)->clear();
        form->selectNode(c.node);
        if (c.copyOpen)
            form->CopyOpen2Click();
        else
            form->TreeView1DblClick();

        QCOMPARE(dialogs->boxes.size(), c.asked.isEmpty() ? 0 : 1);
        qsizetype at = 0;
        for (const QString& part : c.asked) {
            at = dialogs->boxes[0].text.indexOf(part, at);
            QVERIFY2(at >= 0, qPrintable(part + " not in " + dialogs->boxes[0].text));
        }
        QCOMPARE(logBodies(), c.log);
        QVERIFY(test::WaitForRecorder());
        QCOMPARE(test::RecordedArgs(), c.recorded);
        // Copies made for opening never carry the execute bit.
        namespace fs = std::filesystem;
        if (fs::exists(dir->file("work")))
            for (const auto& entry : fs::recursive_directory_iterator(dir->file("work")))
                if (entry.is_regular_file())
                    QVERIFY((entry.status().permissions() &
                             (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) == fs::perms::none);
    }

    // The real box: a warning whose default and escape button is No, so that Enter declines.
    void theQuestionIsAWarningThatEnterDeclines()
    {
        makeForm(std::make_shared<WidgetDialogs>());
        const std::string program = writeProgram(dir->file("setup.sh"));
        test::SetStream(program, "Zone.Identifier", InternetZone);
        form->dropFiles({program});
        form->show();
        test::Memo1(*form)->clear();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen = true;
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QVERIFY(box->defaultButton() == box->button(QMessageBox::No));
            QVERIFY(box->escapeButton() == box->button(QMessageBox::No));
            QVERIFY(box->text().startsWith("プログラム \"" + q(program) + "\""));
            if (const QByteArray shot = qgetenv("TESSALY_QUESTION_SHOT"); !shot.isEmpty())
                QTimer::singleShot(500, box, [box, shot] {
                    QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(shot));
                    QTest::keyClick(box, Qt::Key_Return);
                });
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        form->TreeView1DblClick();
        QVERIFY(seen);
        QCOMPARE(logBodies(), (QStringList{"起動を中止 " + q(program)}));
    }
};

int main(int argc, char** argv)
{
    test::TempDir root;
    // Shell scripts opened as documents go to the recorder with "--opened" before the file.
    test::MakeTestDesktop(root.path(), {{"tessaly-test-scripts.desktop", "@BIN@/record-args --opened %f",
                                         "application/x-shellscript", ""}});
    QApplication app(argc, argv);
    LoadToolkitTranslation(app);  // the box's buttons as the window shows them: はい, いいえ
    StartQuestionWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "start_question_window_test.moc"
