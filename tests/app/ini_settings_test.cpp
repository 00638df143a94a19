// The settings file as the window reads it at start and writes it at close.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "app/form1.h"
#include "common/ini_file.h"
#include "desktop/recording_services.h"
#include "streams/qt_preview_pane.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"
#include "support/window_parts.h"

using namespace tessaly;

class SettingsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir_;
    std::shared_ptr<test::RecordingDialogs> dialogs_;
    QString iniPath_;

    std::unique_ptr<Form1> makeForm()
    {
        Services services = Services::defaults();
        services.dialogs = dialogs_;
        services.urls = std::make_shared<test::RecordingUrlOpener>();
        services.settingsFile = Form1::bytes(iniPath_);
        return std::make_unique<Form1>(services, QStringList());
    }
    void writeIni(const QByteArray& text)
    {
        QFile file(iniPath_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray iniText() const
    {
        QFile file(iniPath_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    IniFile ini() const
    {
        const QByteArray text = iniText();
        return IniFile::parse(std::string_view(text.constData(), std::size_t(text.size())));
    }
    static QRect screen() { return QGuiApplication::primaryScreen()->geometry(); }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<test::TempDir>();
        dialogs_ = std::make_shared<test::RecordingDialogs>();
        iniPath_ = QString::fromStdString(dir_->file("Tessaly.ini"));
    }

    void firstStartWithoutFile()
    {
        auto form = makeForm();
        const QRect s = screen();
        QCOMPARE(form->geometry(), QRect(s.x() + (s.width() - s.width() / 2) / 2, s.y() + (s.height() - s.height() / 2) / 2,
                                         s.width() / 2, s.height() / 2));
        QVERIFY(!test::CloseQuery1(*form)->isChecked());
        QVERIFY(!test::SaveStatus1(*form)->isChecked());
        QCOMPARE(form->settings().openDialogFolder, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        test::PageControl1(*form)->setCurrentIndex(1);
        QTRY_COMPARE(test::Panel4(*form)->width(), s.width() / 2 / 3);
        // Closing with both options off writes the program's own section and nothing else.
        QVERIFY(form->close());
        QVERIFY(dialogs_->calls.isEmpty());
        const QString dir = QCoreApplication::applicationDirPath();
        QCOMPARE(iniText(), "[PROGRAM]\nName=" + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
                                "\nPath=" + dir.toUtf8() + "/\nVersion=V1.3\n");
    }

    void optionsOffRemovesPositionAndOptionButKeepsTheRest()
    {
        writeIni("; mine\n[Extra]\nkeep=1\n[POSITION]\nLeft=10\nState=2\n[OPTION]\nSaveStatus=0\nCloseQuery=0\n"
                 "InitialDir=/nowhere/\n[PROGRAM]\nName=old\nOld=1\n");
        auto form = makeForm();
        QCOMPARE(form->geometry().x(), 10);
        QCOMPARE(form->settings().openDialogFolder, QStringLiteral("/nowhere/"));
        QVERIFY(form->close());
        const IniFile after = ini();
        QVERIFY(!after.hasSection("POSITION"));
        QVERIFY(!after.hasSection("OPTION"));
        QCOMPARE(after.readString("Extra", "keep", ""), std::string("1"));
        QCOMPARE(after.readString("PROGRAM", "Old", ""), std::string("1"));
        QCOMPARE(after.readString("PROGRAM", "Version", ""), std::string("V1.3"));
        QVERIFY(iniText().startsWith("; mine\n[Extra]\nkeep=1\n[PROGRAM]\nName="));
    }

    void maximisedStateRoundTrip()
    {
        const QString initial = QString::fromStdString(dir_->path()) + QStringLiteral("/");
        writeIni("[OPTION]\nSaveStatus=1\nInitialDir=" + initial.toUtf8() +
                 "\nFolderPaneWidth=150\n[PREVIEW]\nWidth=170\n[POSITION]\nFlags=5\nMaxX=-7\nMaxY=0x10\nLeft=40\nTop=30\nRight=540\nBottom=430\n");
        {
            auto form = makeForm();
            QCOMPARE(form->geometry(), QRect(40, 30, 500, 400));
            QVERIFY(test::SaveStatus1(*form)->isChecked());
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QTRY_COMPARE(test::PreviewPane1(*form)->width(), 170);
            test::PageControl1(*form)->setCurrentIndex(1);
            QTRY_COMPARE(test::Panel4(*form)->width(), 150);
            form->setWindowState(Qt::WindowMaximized);
            QTRY_VERIFY(form->isMaximized());
            QVERIFY(form->close());
        }
        IniFile saved = ini();
        QCOMPARE(saved.readInteger("POSITION", "State", -1), 2);
        QCOMPARE(saved.readInteger("POSITION", "ShowCmd", -1), 3);
        QCOMPARE(saved.readInteger("POSITION", "Left", -1), 40);
        QCOMPARE(saved.readInteger("POSITION", "Top", -1), 30);
        QCOMPARE(saved.readInteger("POSITION", "Right", -1), 540);
        QCOMPARE(saved.readInteger("POSITION", "Bottom", -1), 430);
        // Values that only pass through come back as they were read.
        QCOMPARE(saved.readInteger("POSITION", "Flags", -1), 5);
        QCOMPARE(saved.readInteger("POSITION", "MaxX", 0), -7);
        QCOMPARE(saved.readInteger("POSITION", "MaxY", 0), 16);
        QCOMPARE(saved.readInteger("OPTION", "FolderPaneWidth", -1), 150);
        // The width is the normal window's; the maximised window gave the preview its share.
        QCOMPARE(saved.readInteger("PREVIEW", "Width", -1), 170);
        QCOMPARE(saved.readBool("OPTION", "SaveStatus", false), true);
        QCOMPARE(saved.readBool("OPTION", "CloseQuery", true), false);
        QCOMPARE(QDir::cleanPath(QString::fromStdString(saved.readString("OPTION", "InitialDir", ""))),
                 QDir::cleanPath(initial));
        QVERIFY(saved.hasKey("OPTION", "ScrollPosX"));

        // The next start opens maximised and restores to the stored rectangle.
        auto again = makeForm();
        again->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.get()));
        QTRY_VERIFY(again->isMaximized());
        again->setWindowState(Qt::WindowNoState);
        QTRY_COMPARE(again->geometry(), QRect(40, 30, 500, 400));
    }

    void aFirstSaveWritesEveryKeyInItsOrder()
    {
        auto form = makeForm();
        test::SaveStatus1(*form)->setChecked(true);
        QVERIFY(form->close());
        QStringList names;
        for (const QByteArray& line : iniText().split('\n'))
            if (!line.isEmpty())
                names << QString::fromUtf8(line.contains('=') ? line.left(line.indexOf('=')) : line);
        QCOMPARE(names.join(QLatin1Char(' ')),
                 QStringLiteral("[PROGRAM] Name Path Version [POSITION] Flags ShowCmd MaxX MaxY Left Top Right Bottom "
                                "State [OPTION] CloseQuery SaveStatus InitialDir FolderPaneWidth ScrollPosX [PREVIEW] Width Height "
                                "WidthShare HeightShare"));
        const IniFile saved = ini();
        QCOMPARE(saved.readInteger("POSITION", "State", -1), 0);
        QCOMPARE(saved.readInteger("POSITION", "ShowCmd", -1), 1);
        QCOMPARE(saved.readInteger("OPTION", "SaveStatus", -1), 1);
        QCOMPARE(saved.readInteger("OPTION", "FolderPaneWidth", -1), screen().width() / 2 / 3);
    }

    void keysWithoutRegardToCaseAndHexadecimal()
    {
        writeIni("[position]\nstate=2\nLEFT=0x20\ntop=0X10\n[option]\ninitialdir=\nsavestatus=1\nclosequery=1\n");
        auto form = makeForm();
        QCOMPARE(form->geometry().topLeft(), QPoint(32, 16));
        QVERIFY(form->windowState() & Qt::WindowMaximized);
        QVERIFY(test::SaveStatus1(*form)->isChecked());
        QVERIFY(test::CloseQuery1(*form)->isChecked());
        // Present but empty: an empty folder, not the executable's.
        QCOMPARE(form->settings().openDialogFolder, QString());
        dialogs_->answer = true;
        QVERIFY(form->close());
    }

    void oddStatesAndRectanglesAreSafe()
    {
        writeIni("[POSITION]\nState=7\nLeft=100\nRight=50\nTop=x\n[OPTION]\nFolderPaneWidth=-40\n");
        auto form = makeForm();
        QCOMPARE(form->windowState(), Qt::WindowNoState);
        QCOMPARE(form->geometry().x(), 100);
        QVERIFY(form->geometry().width() >= 1);
        QCOMPARE(form->settings().folderPaneWidth, 0);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->isVisible());
        QVERIFY(form->close());
    }

    // A damaged rectangle is placed where it says but never larger than the desktop, and what is
    // written back is that rectangle, also when the window was maximised meanwhile.
    void damagedRectanglesStaySane_data()
    {
        QTest::addColumn<QByteArray>("position");
        QTest::addColumn<QRect>("expected");  // in the file after close; a width or height of 0: the desktop's
        QTest::newRow("huge") << QByteArray("Left=10\nTop=20\nRight=2000000000\nBottom=2000000000\nState=0")
                              << QRect(10, 20, 0, 0);
        QTest::newRow("huge, maximised") << QByteArray("Left=10\nTop=20\nRight=2147483647\nBottom=2147483647\nState=2")
                                         << QRect(10, 20, 0, 0);
        QTest::newRow("inverted, maximised") << QByteArray("Left=100\nTop=50\nRight=10\nBottom=20\nState=2")
                                             << QRect(100, 50, 1, 1);
    }
    void damagedRectanglesStaySane()
    {
        QFETCH(QByteArray, position);
        QFETCH(QRect, expected);
        writeIni("[OPTION]\nSaveStatus=1\n[POSITION]\n" + position + "\n");
        const QSize desktop = QGuiApplication::primaryScreen()->availableVirtualSize();
        if (expected.width() == 0)
            expected.setWidth(desktop.width());
        if (expected.height() == 0)
            expected.setHeight(desktop.height());
        {
            auto form = makeForm();
            QVERIFY(form->width() <= desktop.width() && form->height() <= desktop.height());
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QVERIFY(form->close());
        }
        const IniFile saved = ini();
        const QRect written(QPoint(saved.readInteger("POSITION", "Left", -1), saved.readInteger("POSITION", "Top", -1)),
                            QPoint(saved.readInteger("POSITION", "Right", -1) - 1, saved.readInteger("POSITION", "Bottom", -1) - 1));
        QCOMPARE(written, expected);
    }

    // A settings file that is there but cannot be read is never replaced on close: it may hold
    // sections of the user's own. The close says so and leaves it as it was.
    void unreadableFileIsLeftAlone()
    {
        if (test::RunningUnprivileged() || ::geteuid() != 0) {
            // As an ordinary user: a file this user may write but not read.
            writeIni("[Mine]\nkeep=1\n");
            QVERIFY(QFile::setPermissions(iniPath_, QFile::WriteOwner));
            auto form = makeForm();
            QVERIFY(form->close());
            QCOMPARE(dialogs_->kinds(), QStringList{QStringLiteral("error")});
            QCOMPARE(dialogs_->calls[0].text, iniPath_ + QStringLiteral(" に書き込めません"));
            QVERIFY(QFile::setPermissions(iniPath_, QFile::ReadOwner | QFile::WriteOwner));
            QCOMPARE(iniText(), QByteArray("[Mine]\nkeep=1\n"));
            if (test::RunningUnprivileged())
                return;
            QFile::remove(iniPath_);
            dialogs_->calls.clear();
        }
        // Something that is not a file: never read, never replaced.
        QVERIFY(::mkfifo(iniPath_.toUtf8().constData(), 0600) == 0);
        {
            auto form = makeForm();
            QVERIFY(form->close());
        }
        QCOMPARE(dialogs_->kinds(), QStringList{QStringLiteral("error")});
        QCOMPARE(QFileInfo(iniPath_).isFile(), false);
        QVERIFY(QFileInfo::exists(iniPath_));
        if (::geteuid() != 0)
            return;
        // As root every file is readable: the case runs again as an ordinary user.
        const test::ChildRun child = test::RunUnprivileged(
            {QCoreApplication::applicationFilePath().toStdString(), "unreadableFileIsLeftAlone"});
        QVERIFY2(child.status == 0, child.output.c_str());
        QVERIFY2(child.output.find("PASS   : SettingsTest::unreadableFileIsLeftAlone()") != std::string::npos,
                 child.output.c_str());
    }

    void decliningTheQuitQuestionLeavesTheFileUntouched()
    {
        const QByteArray original = "[OPTION]\nCloseQuery=1\nSaveStatus=1\n[POSITION]\nLeft=5\n";
        writeIni(original);
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        dialogs_->answer = false;
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QCOMPARE(dialogs_->kinds(), QStringList{QStringLiteral("question")});
        QCOMPARE(dialogs_->calls[0].text, QStringLiteral("終了してもよいですか？"));
        QCOMPARE(dialogs_->calls[0].caption, QStringLiteral("Tessaly"));
        QCOMPARE(iniText(), original);
        // Yes closes and writes.
        dialogs_->answer = true;
        QVERIFY(form->close());
        QCOMPARE(ini().readInteger("OPTION", "CloseQuery", 0), 1);
    }

    void failedWriteIsReportedAndTheWindowStillCloses()
    {
        // A regular file where the settings file's folder should be: nothing can be created there.
        const std::string blocker = dir_->write("blocker", "x");
        iniPath_ = QString::fromStdString(blocker) + QStringLiteral("/Tessaly.ini");
        auto form = makeForm();
        QVERIFY(form->close());
        QCOMPARE(dialogs_->kinds(), QStringList{QStringLiteral("error")});
        QCOMPARE(dialogs_->calls[0].text, iniPath_ + QStringLiteral(" に書き込めません"));
        QFile file(QString::fromStdString(blocker));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("x"));
    }
};

int main(int argc, char** argv)
{
    // The user's own folders are never touched: the test has its own home and XDG folders.
    test::TempDir home;
    qputenv("HOME", home.path().c_str());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").c_str());
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    SettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ini_settings_test.moc"
