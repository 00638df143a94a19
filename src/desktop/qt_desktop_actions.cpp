#include "desktop/qt_desktop_actions.h"

#include <QAction>
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
    return pathBytes(QCoreApplication::applicationFilePath());
}

// The icon of the launcher: a picture beside the executable (a build folder), the installed one,
// or else the theme's icon of that name.
std::string launcherIcon()
{
    const std::string beside = ReplaceExtension(exePath(), ".png");
    if (QFileInfo(pathText(beside)).isFile())
        return beside;
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(TESSALY_SHARE_ICON));
    if (QFileInfo(installed).isFile())
        return pathBytes(installed);
    return "tessaly";
}

QAction* makeAction(DesktopActions* owner, QWidget& window, const char* name, std::string_view caption,
                    void (DesktopActions::*handler)())
{
    auto* action = new QAction(tr8(caption), &window);
    action->setObjectName(QLatin1String(name));
    QObject::connect(action, &QAction::triggered, owner, handler);
    return action;
}

}  // namespace

DesktopActions::DesktopActions(QWidget& window, std::shared_ptr<Dialogs> dialogs, std::shared_ptr<Shortcuts> shortcuts,
                               std::shared_ptr<UrlOpener> urls)
    : QObject(&window),
      DeskTop1(makeAction(this, window, "DeskTop1", texts::MenuDesktop, &DesktopActions::registerOnDesktop)),
      StartUp1(makeAction(this, window, "StartUp1", texts::MenuStartUp, &DesktopActions::registerInStartup)),
      StartMenu1(makeAction(this, window, "StartMenu1", texts::MenuStartMenu, &DesktopActions::registerInStartMenu)),
      Help2(makeAction(this, window, "Help2", texts::MenuShowHelp, &DesktopActions::showHelp)),
      About1(makeAction(this, window, "About1", texts::MenuAbout, &DesktopActions::showAbout)),
      Site1(makeAction(this, window, "Site1", texts::MenuSite, &DesktopActions::showHomePage)),
      window_(window),
      dialogs_(std::move(dialogs)),
      shortcuts_(std::move(shortcuts)),
      urls_(std::move(urls))
{
    setObjectName(QStringLiteral("DesktopActions"));
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
}

void DesktopActions::registerLauncher(std::string_view question, Shortcuts::Place place)
{
    Dialogs& dialogs = *dialogs_;
    if (!dialogs.askYesNo(&window_, tr8(question), tr8(texts::ConfirmCaption)))
        return;
    const Shortcuts::Written written = shortcuts_->write(place, exePath(), launcherIcon());
    const std::optional<QString> error =
        written.error ? std::optional<QString>(pathText(written.error->message)) : std::nullopt;
    const QString shown = shownText(written.path);
    if (error) {
        // Filled from the left, so that a "%s" inside the path stays as it is.
        QString text = tr8(texts::CannotCreateFile);
        const qsizetype first = text.indexOf(QStringLiteral("%s"));
        text.replace(first, 2, shown);
        text.replace(text.indexOf(QStringLiteral("%s"), first + shown.size()), 2, *error);
        dialogs.showError(&window_, text);
        return;
    }
    dialogs.showMessage(&window_, shown + tr8(texts::Registered), tr8(texts::ApplicationTitle));
}

void DesktopActions::registerOnDesktop()
{
    registerLauncher(texts::AskDesktop, Shortcuts::Place::Desktop);
}

void DesktopActions::registerInStartup()
{
    registerLauncher(texts::AskStartup, Shortcuts::Place::Startup);
}

void DesktopActions::registerInStartMenu()
{
    registerLauncher(texts::AskStartMenu, Shortcuts::Place::Programs);
}

void DesktopActions::showHelp()
{
    // Beside the executable (a build or portable folder), else where an installation keeps it;
    // when neither exists the request still goes out, and the desktop says what it says.
    const std::vector<std::string> candidates = HelpFileCandidates(exePath(), TESSALY_SHARE_HELP);
    QString help = pathText(candidates.front());
    for (const std::string& candidate : candidates)
        if (QFileInfo(pathText(candidate)).isFile()) {
            help = QDir::cleanPath(pathText(candidate));
            break;
        }
    // Where nothing on the desktop shows it, the help is HTML that Tessaly can show itself.
    if (!urls_->openUrl(QUrl::fromLocalFile(help)))
        ShowHelpWindow(&window_, help);
}

void DesktopActions::showAbout()
{
    bool homePage = false;
    {
        AboutBox box(&window_, pathText(AboutText(exePath())));
        box.exec();
        homePage = box.homePageChosen();
    }
    // The box is gone before the browser comes up.
    if (homePage)
        showHomePage();
}

void DesktopActions::showHomePage()
{
    if (urls_->openUrl(QUrl(tr8(texts::HomePageUrl))))
        return;
    QString text = tr8(texts::CannotOpenAddress);
    text.replace(QStringLiteral("%s"), tr8(texts::HomePageUrl));
    dialogs_->showMessage(&window_, text, tr8(texts::ApplicationTitle));
}

}  // namespace tessaly
