#pragma once
// The window's commands of the desktop integration as one object that owns their actions: the
// program's launchers on the desktop, in the applications menu and in the autostart folder; the
// help file, the About box and the home page. The window puts the actions in its menus.

#include <QObject>

#include <memory>
#include <string_view>

#include "platform/window_system.h"

class QAction;
class QWidget;

namespace tessaly {

class Dialogs;
class UrlOpener;

class DesktopActions final : public QObject {
    Q_OBJECT

public:
    // window: the parent of the boxes and the owner of the actions.
    DesktopActions(QWidget& window, std::shared_ptr<Dialogs> dialogs, std::shared_ptr<Shortcuts> shortcuts,
                   std::shared_ptr<UrlOpener> urls);

    void registerOnDesktop();
    void registerInStartup();
    void registerInStartMenu();
    void showHelp();
    void showAbout();
    void showHomePage();

    QAction* const DeskTop1;
    QAction* const StartUp1;
    QAction* const StartMenu1;
    QAction* const Help2;
    QAction* const About1;
    QAction* const Site1;

private:
    void registerLauncher(std::string_view question, Shortcuts::Place place);

    QWidget& window_;
    std::shared_ptr<Dialogs> dialogs_;
    std::shared_ptr<Shortcuts> shortcuts_;
    std::shared_ptr<UrlOpener> urls_;
};

}  // namespace tessaly
