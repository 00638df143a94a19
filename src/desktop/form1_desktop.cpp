// Form1 handlers of the desktop integration: launchers for the program on the desktop, in the
// applications menu and in the autostart folder; the help file, the About box and the home page.

#include "app/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <optional>

#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "desktop/about_box.h"
#include "desktop/desktop_rules.h"
#include "desktop/qt_url_opener.h"
#include "platform/linux/own_file.h"

#ifndef TESSALY_SHARE_HELP
#define TESSALY_SHARE_HELP "../share/doc/tessaly"
#endif
#ifndef TESSALY_SHARE_ICON
#define TESSALY_SHARE_ICON "../share/icons/hicolor/64x64/apps/tessaly.png"
#endif

namespace tessaly {

namespace {


std::string exePath()
{
    return Form1::bytes(QCoreApplication::applicationFilePath());
}

std::string home()
{
    return Form1::bytes(QDir::homePath());
}

// The icon of the launcher: a picture beside the executable (a build folder), the installed one,
// or else the theme's icon of that name.
std::string launcherIcon()
{
    const std::string beside = ReplaceExtension(exePath(), ".png");
    if (QFileInfo(Form1::qs(beside)).isFile())
        return beside;
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(TESSALY_SHARE_ICON));
    if (QFileInfo(installed).isFile())
        return Form1::bytes(installed);
    return "tessaly";
}

enum class LauncherPlace { Desktop, Applications, Autostart };

QString launcherFolder(LauncherPlace place)
{
    switch (place) {
    case LauncherPlace::Desktop:
        // Follows the user's folder names (user-dirs.dirs), as xdg-user-dir DESKTOP does.
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case LauncherPlace::Applications:
        return Form1::qs(XdgBaseDir(qgetenv("XDG_DATA_HOME").toStdString(), home(), ".local/share") + "/applications");
    case LauncherPlace::Autostart:
        return Form1::qs(XdgBaseDir(qgetenv("XDG_CONFIG_HOME").toStdString(), home(), ".config") + "/autostart");
    }
    return {};
}

// Writes the launcher into folder, replacing an earlier one in one step (and a symbolic link found
// there, without touching what it points to); the error text on failure.
std::optional<QString> writeLauncher(const QString& path, bool executable)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("%1: %2").arg(folder, qt_error_string(errno));
    const std::string text = DesktopEntryText(texts::ApplicationTitle, exePath(), launcherIcon());
    // Desktops start a launcher lying on the desktop only when it is marked executable.
    if (auto error = ReplaceWithOwnFile(Form1::bytes(path), text, executable ? 0766 : 0666))
        return Form1::qs(error->message);
    return std::nullopt;
}

void registerLauncher(Form1& form, std::string_view question, LauncherPlace place)
{
    Dialogs& dialogs = *form.services().dialogs;
    if (!dialogs.askYesNo(&form, tr8(question), tr8(texts::ConfirmCaption)))
        return;
    const QString folder = launcherFolder(place);
    const QString path = QDir::cleanPath(folder + QLatin1Char('/') + Form1::qs(DesktopEntryFileName()));
    std::optional<QString> error;
    if (folder.isEmpty())
        error = qt_error_string(ENOENT);  // no home folder to put it in
    else
        error = writeLauncher(path, place == LauncherPlace::Desktop);
    const QString shown = shownText(Form1::bytes(path));
    if (error) {
        // Filled from the left, so that a "%s" inside the path stays as it is.
        QString text = tr8(texts::CannotCreateFile);
        const qsizetype first = text.indexOf(QStringLiteral("%s"));
        text.replace(first, 2, shown);
        text.replace(text.indexOf(QStringLiteral("%s"), first + shown.size()), 2, *error);
        dialogs.showError(&form, text);
        return;
    }
    dialogs.showMessage(&form, shown + tr8(texts::Registered), tr8(texts::ApplicationTitle));
}

}  // namespace

void Form1::DeskTop1Click()
{
    registerLauncher(*this, texts::AskDesktop, LauncherPlace::Desktop);
}

void Form1::StartUp1Click()
{
    registerLauncher(*this, texts::AskStartup, LauncherPlace::Autostart);
}

void Form1::StartMenu1Click()
{
    registerLauncher(*this, texts::AskStartMenu, LauncherPlace::Applications);
}

void Form1::Help2Click()
{
    // Beside the executable (a build or portable folder), else where an installation keeps it;
    // when neither exists the request still goes out, and the desktop says what it says.
    const std::vector<std::string> candidates = HelpFileCandidates(exePath(), TESSALY_SHARE_HELP);
    QString help = qs(candidates.front());
    for (const std::string& candidate : candidates)
        if (QFileInfo(qs(candidate)).isFile()) {
            help = QDir::cleanPath(qs(candidate));
            break;
        }
    services_.urls->openUrl(QUrl::fromLocalFile(help));
}

void Form1::About1Click()
{
    bool homePage = false;
    {
        AboutBox box(this, qs(AboutText(exePath())));
        box.exec();
        homePage = box.homePageChosen();
    }
    // The box is gone before the browser comes up.
    if (homePage)
        Site1Click();
}

void Form1::Site1Click()
{
    services_.urls->openUrl(QUrl(tr8(texts::HomePageUrl)));
}

}  // namespace tessaly
