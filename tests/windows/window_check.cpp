// The Windows window in one process, with the system's own services and boxes answered by script:
//   window_check.exe FOLDER [PICTURE_FOLDER]
// loads a plain file named on the command line and logs it; writes the three shortcuts through the
// window's commands and reads each link back to the executable; scans a folder of a few thousand
// files to its end; keeps the settings where it was told. With PICTURE_FOLDER, saves pictures of
// the two tabs. Prints one line per check and exits with 0 when every check held.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/startup.h"
#include "common/texts.h"
#include "launch/launch_system.h"
#include "platform/cli_system.h"
#include "platform/window_system.h"
#include "support/scripted_dialogs.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

int failures = 0;

void check(bool ok, const char* what, const QString& detail = {})
{
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAILED", what, detail.isEmpty() ? "" : " -- ",
                detail.toUtf8().constData());
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

// Lets the window work until condition holds; false only for a window that never gets there.
bool waitFor(const std::function<bool()>& condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 180000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

QString text(std::string_view t)
{
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    if (arguments.empty()) {
        std::fprintf(stderr, "usage: window_check FOLDER [PICTURE_FOLDER]\n");
        return 2;
    }
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    check(LoadToolkitTranslation(app), "the toolkit's Japanese texts are in the program");
    const QString folder = QString::fromStdString(arguments[0]);
    const QString pictures = arguments.size() > 1 ? QString::fromStdString(arguments[1]) : QString();
    QDir(folder).mkpath(QStringLiteral("tree"));
    {
        QFile plain(folder + QStringLiteral("\\plain.txt"));
        plain.open(QIODevice::WriteOnly);
        plain.write("plain");
    }
    for (int i = 0; i < 3000; ++i) {
        QFile f(folder + QStringLiteral("\\tree\\f%1.txt").arg(i));
        f.open(QIODevice::WriteOnly);
    }

    Services services = Services::defaults();
    auto dialogs = std::make_shared<test::ScriptedDialogs>();
    services.dialogs = dialogs;
    services.settingsFile = arguments[0] + "\\Tessaly.ini";
    const std::string plainPath = arguments[0] + "\\plain.txt";
    Form1 form(services, CommandLineBytes({plainPath}));
    form.resize(1000, 640);
    form.show();

    LogView* log = test::Memo1(form);
    const QString started =
        text(texts::StartedByDrop) + QString::fromStdString(ExecutablePath() + " " + plainPath);
    check(waitFor([&] { return log->toPlainText().contains(started); }), "the file on the command line is logged",
          log->toPlainText());
    check(test::TreeView1(form)->topLevelItemCount() == 1, "the file is the workspace's parent");
    if (!pictures.isEmpty())
        form.grab().save(pictures + QStringLiteral("/workspace.png"));

    // The shortcut commands: each asks, writes a link and says where; the link leads back here.
    const std::string exe = ExecutablePath();
    const std::vector<std::pair<const char*, void (Form1::*)()>> commands{
        {"desktop", &Form1::DeskTop1Click}, {"start-up", &Form1::StartUp1Click}, {"programs", &Form1::StartMenu1Click}};
    for (const auto& [name, command] : commands) {
        dialogs->boxes.clear();
        dialogs->answers = {true};
        (form.*command)();
        const bool told = dialogs->boxes.size() == 2 && dialogs->boxes[1].kind == QLatin1String("message") &&
                          dialogs->boxes[1].text.endsWith(text(texts::Registered));
        check(told, name, told ? QString() : dialogs->boxes.value(dialogs->boxes.size() - 1).text);
        if (!told)
            continue;
        const QString link = dialogs->boxes[1].text.chopped(qsizetype(text(texts::Registered).size()));
        const std::string target = services.shellPaths->resolveShellLink(link.toStdString());
        check(QString::fromStdString(target).compare(QString::fromStdString(exe), Qt::CaseInsensitive) == 0,
              "the link leads to the executable", QString::fromStdString(target));
    }

    // A scan of a few thousand files runs to its end on the detection tab.
    test::PageControl1(form)->setCurrentIndex(1);
    form.setFolderPaneFolder(arguments[0] + "\\tree");
    form.FolderPaneDblClick();
    // "parents:children / files examined" and the outcome, once the scan has ended.
    const auto examined = [&] {
        QString count = form.statusText().section(QStringLiteral(" / "), 1).section(QLatin1Char(' '), 0, 0);
        count.remove(QRegularExpression(QStringLiteral("\\D")));
        return count;
    };
    check(waitFor([&] { return !form.scanRunning() && form.statusText().contains(text(texts::StatusNothingFound)); }) &&
              examined() == QLatin1String("3000"),
          "the scan reads every file", form.statusText());
    if (!pictures.isEmpty())
        form.grab().save(pictures + QStringLiteral("/detection.png"));

    dialogs->answers = {true, true};
    form.close();
    check(QFile::exists(QString::fromStdString(services.settingsFile)), "the settings are written");
    return failures == 0 ? 0 : 1;
}
