// Form1 handlers of the desktop integration: launchers for the program on the desktop, in the
// applications menu and in the autostart folder; the help file, the About box and the home page.

#include "app/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <optional>

#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "desktop/about_box.h"
#include "desktop/desktop_rules.h"
#include "desktop/qt_help_window.h"
#include "desktop/qt_url_opener.h"
#include "platform/window_system.h"

#ifndef TESSALY_SHARE_HELP
#define TESSALY_SHARE_HELP "../share/tessaly"
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

void registerLauncher(Form1& form, std::string_view question, Shortcuts::Place place)
{
    Dialogs& dialogs = *form.services().dialogs;
    if (!dialogs.askYesNo(&form, tr8(question), tr8(texts::ConfirmCaption)))
        return;
    const Shortcuts::Written written = form.services().shortcuts->write(place, exePath(), launcherIcon());
    const std::optional<QString> error =
        written.error ? std::optional<QString>(Form1::qs(written.error->message)) : std::nullopt;
    const QString shown = shownText(written.path);
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
    registerLauncher(*this, texts::AskDesktop, Shortcuts::Place::Desktop);
}

void Form1::StartUp1Click()
{
    registerLauncher(*this, texts::AskStartup, Shortcuts::Place::Startup);
}

void Form1::StartMenu1Click()
{
    registerLauncher(*this, texts::AskStartMenu, Shortcuts::Place::Programs);
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
    // Where nothing on the desktop shows it, the help is HTML that Tessaly can show itself.
    if (!services_.urls->openUrl(QUrl::fromLocalFile(help)))
        ShowHelpWindow(this, help);
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
    if (services_.urls->openUrl(QUrl(tr8(texts::HomePageUrl))))
        return;
    QString text = tr8(texts::CannotOpenAddress);
    text.replace(QStringLiteral("%s"), tr8(texts::HomePageUrl));
    services_.dialogs->showMessage(this, text, tr8(texts::ApplicationTitle));
}

}  // namespace tessaly
