// The desktop commands of the window: launchers in the user's folders, F1, the home page and the
// About box.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "app/form1.h"
#include "desktop/about_box.h"
#include "desktop/recording_services.h"
#include "support/tempdir.h"

using namespace tessaly;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs check on the modal box that the next call opens.
void onNextModal(std::function<void(QWidget*)> check)
{
    QTimer::singleShot(0, [check] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) {
            onNextModal(check);
            return;
        }
        check(box);
    });
}

}  // namespace

class DesktopWindowTest : public QObject {
    Q_OBJECT

public:
    QString home;

private:
    std::unique_ptr<test::TempDir> settingsDir_;
    std::shared_ptr<test::RecordingDialogs> dialogs_;
    std::shared_ptr<test::RecordingUrlOpener> urls_;
    std::unique_ptr<Form1> form_;

    QString desktopFile() const { return home + QStringLiteral("/Desktop/Tessaly.desktop"); }
    QString applicationsFile() const { return home + QStringLiteral("/data/applications/Tessaly.desktop"); }
    QString autostartFile() const { return home + QStringLiteral("/config/autostart/Tessaly.desktop"); }

private Q_SLOTS:
    void init()
    {
        QDir(home + QStringLiteral("/Desktop")).removeRecursively();
        QDir(home + QStringLiteral("/data")).removeRecursively();
        QDir(home + QStringLiteral("/config")).removeRecursively();
        settingsDir_ = std::make_unique<test::TempDir>();
        dialogs_ = std::make_shared<test::RecordingDialogs>();
        urls_ = std::make_shared<test::RecordingUrlOpener>();
        Services services = Services::defaults();
        services.dialogs = dialogs_;
        services.urls = urls_;
        services.settingsFile = settingsDir_->file("Tessaly.ini");
        form_ = std::make_unique<Form1>(services, QStringList());
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void launchers_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("executable");
        QTest::newRow("desktop") << "DeskTop1" << QStringLiteral("デスクトップに登録しますか？") << "desktop" << true;
        QTest::newRow("start menu") << "StartMenu1" << QStringLiteral("スタートメニューのプログラムに登録しますか？")
                                    << "applications" << false;
        QTest::newRow("startup") << "StartUp1" << QStringLiteral("スタートアップに登録しますか？") << "autostart" << false;
    }
    void launchers()
    {
        QFETCH(QString, command);
        QFETCH(QString, question);
        QFETCH(QString, where);
        QFETCH(bool, executable);
        const QString path = where == QLatin1String("desktop")        ? desktopFile()
                             : where == QLatin1String("applications") ? applicationsFile()
                                                                       : autostartFile();
        auto* action = form_->findChild<QAction*>(command);
        QVERIFY(action);

        // Declined: nothing is created and nothing more is shown.
        dialogs_->answer = false;
        action->trigger();
        QCOMPARE(dialogs_->kinds(), QStringList{QStringLiteral("question")});
        QCOMPARE(dialogs_->calls[0].text, question);
        QCOMPARE(dialogs_->calls[0].caption, QStringLiteral("確認"));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!QFileInfo::exists(QFileInfo(path).absolutePath()));

        // Accepted, twice: the second replaces the first and says the same.
        dialogs_->answer = true;
        for (int round = 0; round < 2; ++round) {
            dialogs_->calls.clear();
            action->trigger();
            QCOMPARE(dialogs_->kinds(), (QStringList{QStringLiteral("question"), QStringLiteral("message")}));
            QCOMPARE(dialogs_->calls[1].text, path + QStringLiteral(" に登録しました。"));
            QCOMPARE(dialogs_->calls[1].caption, QStringLiteral("Tessaly"));
            QVERIFY(QFileInfo(path).isFile());
        }
        const QByteArray entry = readAll(path);
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nType=Application\n"));
        QVERIFY(entry.contains("\nName=Tessaly\n"));
        QVERIFY(entry.contains("\nTerminal=false\n"));
        QVERIFY(entry.contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" %f\n"));
        QCOMPARE(entry.count("Exec="), 1);
        QCOMPARE(bool(QFile::permissions(path) & QFile::ExeOwner), executable);
        // Nothing else is left in the folder (no temporary files).
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Tessaly.desktop")});

        if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
            QSKIP("desktop-file-validate is not installed");
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {path});
        QVERIFY(validate.waitForFinished());
        QCOMPARE(validate.exitCode(), 0);
        QCOMPARE(validate.readAll(), QByteArray());
    }

    void aLinkPlantedAtTheLauncherIsReplacedNotFollowed()
    {
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Desktop")));
        const QString victim = settingsDir_->path().c_str() + QStringLiteral("/victim.txt");
        {
            QFile file(victim);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a launcher");
        }
        QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QFile::link(victim, desktopFile()));
        dialogs_->answer = true;
        form_->DeskTop1Click();
        QCOMPARE(dialogs_->kinds(), (QStringList{QStringLiteral("question"), QStringLiteral("message")}));
        QVERIFY(!QFileInfo(desktopFile()).isSymLink());
        QVERIFY(readAll(desktopFile()).startsWith("[Desktop Entry]\n"));
        QCOMPARE(readAll(victim), QByteArray("not a launcher"));
        QVERIFY(!(QFile::permissions(victim) & QFile::ExeOwner));  // not made executable
    }

    void aLauncherThatCannotBeWrittenShowsAnErrorAndNoSuccess()
    {
        // A plain file where the applications folder belongs.
        QVERIFY(QDir().mkpath(home + QStringLiteral("/data")));
        QFile blocker(home + QStringLiteral("/data/applications"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        form_->StartMenu1Click();
        QCOMPARE(dialogs_->kinds(), (QStringList{QStringLiteral("question"), QStringLiteral("error")}));
        QVERIFY(dialogs_->calls[1].text.startsWith(QStringLiteral("ファイル \"") + applicationsFile() +
                                                   QStringLiteral("\" を作成できません。")));
        QVERIFY(dialogs_->calls[1].text.size() > QStringLiteral("ファイル \"\" を作成できません。").size() + applicationsFile().size());
    }

    void f1OpensTheHelpBesideTheExecutableWhateverTheCurrentFolder()
    {
        const QString before = QDir::currentPath();
        test::TempDir elsewhere;
        QVERIFY(QDir::setCurrent(QString::fromStdString(elsewhere.path())));
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTest::keyClick(form_.get(), Qt::Key_F1);
        QDir::setCurrent(before);
        const QFileInfo exe(QCoreApplication::applicationFilePath());
        QCOMPARE(urls_->urls, QList<QUrl>{QUrl::fromLocalFile(exe.absolutePath() + QLatin1Char('/') +
                                                              exe.completeBaseName() + QStringLiteral(".html"))});
        QVERIFY(dialogs_->calls.isEmpty());
    }

    void homePageCommand()
    {
        form_->Site1Click();
        QCOMPARE(urls_->urls, QList<QUrl>{QUrl(QStringLiteral("https://tessaly.example.org/"))});
    }

    void aboutBoxTextsButtonsAndPlace()
    {
        bool checked = false;
        onNextModal([&](QWidget* widget) {
            auto* box = qobject_cast<AboutBox*>(widget);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("バージョン情報"));
            QCOMPARE(box->text(), QStringLiteral("Tessaly V1.3\n") + QCoreApplication::applicationFilePath() +
                                      QStringLiteral("\n\nCopyright (C) 2026 The Tessaly project\ntessaly@example.org\n"
                                                     "https://tessaly.example.org/"));
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QVERIFY(!box->iconPixmap().isNull());
            QCOMPARE(box->okButton()->text(), QStringLiteral("&OK"));
            QCOMPARE(box->homePageButton()->text(), QStringLiteral("&HomePage"));
            QVERIFY(box->okButton()->x() < box->homePageButton()->x());
            QCOMPARE(box->defaultButton(), box->okButton());
            QCOMPARE(box->escapeButton(), box->okButton());
            QCOMPARE(box->okButton()->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(box->homePageButton()->cursor().shape(), Qt::PointingHandCursor);
            const QPoint offset = box->frameGeometry().center() - form_->frameGeometry().center();
            QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
            checked = true;
            // Enter at once: "&OK" closes the box, and no home page.
            QTest::keyClick(box, Qt::Key_Return);
        });
        form_->About1Click();
        QVERIFY(checked);
        QVERIFY(urls_->urls.isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void aboutBoxEscAndCloseOpenNoHomePage()
    {
        onNextModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
        form_->About1Click();
        onNextModal([](QWidget* box) { box->close(); });
        form_->About1Click();
        QVERIFY(urls_->urls.isEmpty());
    }

    void homePageButtonClosesTheBoxFirst()
    {
        onNextModal([](QWidget* box) { QTest::mouseClick(qobject_cast<AboutBox*>(box)->homePageButton(), Qt::LeftButton); });
        form_->About1Click();
        QCOMPARE(urls_->urls, QList<QUrl>{QUrl(QStringLiteral("https://tessaly.example.org/"))});
        QCOMPARE(urls_->modalOpen, QList<bool>{false});
    }

    void everyPaintDrawsANewGradientFromWhite()
    {
        SeedAboutBoxColours(12345);
        AboutBox box(form_.get(), QStringLiteral("Tessaly V1.3\n/x\n\nc\nm\nh"));
        box.resize(400, 200);
        QList<AboutGradient> seen;
        for (int i = 0; i < 6; ++i) {
            const QImage image = box.grab().toImage();
            const AboutGradient g = box.lastGradient();
            seen << g;
            // White at the left or top edge, the drawn colour at the far edge.
            const QColor start = image.pixelColor(0, 0);
            QVERIFY(start.red() >= 250 && start.green() >= 250 && start.blue() >= 250);
            const QPoint far = g.horizontal() ? QPoint(image.width() - 1, 0) : QPoint(0, image.height() - 1);
            const QColor end = image.pixelColor(far);
            QVERIFY2(qAbs(end.red() - g.red()) <= 3 && qAbs(end.green() - g.green()) <= 3 && qAbs(end.blue() - g.blue()) <= 3,
                     qPrintable(QStringLiteral("%1 vs %2").arg(end.name()).arg(g.colour, 6, 16)));
            // Along the other axis the colour stays the same.
            const QPoint across = g.horizontal() ? QPoint(0, image.height() - 1) : QPoint(image.width() - 1, 0);
            QVERIFY(image.pixelColor(across).red() >= 250);
        }
        QCOMPARE(box.paintCount(), 6);
        QVERIFY(seen[0].colour != seen[1].colour);
        bool bothDirections = false;
        for (const AboutGradient& g : seen)
            bothDirections |= g.horizontal() != seen[0].horizontal();
        QVERIFY(bothDirections);
    }
};

int main(int argc, char** argv)
{
    // The test's own home and XDG folders: the user's desktop and menus are never touched.
    test::TempDir home;
    qputenv("HOME", home.path().c_str());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").c_str());
    qunsetenv("XDG_CURRENT_DESKTOP");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    DesktopWindowTest test;
    test.home = QString::fromStdString(home.path());
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_window_test.moc"
