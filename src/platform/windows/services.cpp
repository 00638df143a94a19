#include "app/services.h"

#include <QUrl>

#include "common/dialogs.h"
#include "desktop/qt_url_opener.h"
#include "platform/window_system.h"
#include "platform/windows/message_boxes.h"
#include "platform/windows/windows_filesystem.h"
#include "platform/windows/windows_shell.h"

namespace tessaly {

namespace {

// The help file and the home page go to what the shell has for them.
class ShellUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override
    {
        const QString target = url.isLocalFile() ? url.toLocalFile().replace(QLatin1Char('/'), QLatin1Char('\\'))
                                                 : url.toString(QUrl::FullyEncoded);
        // The shell's own results: above 32 when something took the request.
        return ShellOpen(target.toStdString()).code > 32;
    }
};

}  // namespace

Services Services::defaults()
{
    Services s;
    s.fs = std::make_shared<WindowsFileSystem>();
    s.dialogs = std::make_shared<WindowsDialogs>();
    s.urls = std::make_shared<ShellUrlOpener>();
    s.associations = std::make_shared<ShellAssociations>();
    s.launcher = std::make_shared<ShellLauncher>();
    s.shellPaths = std::make_shared<WindowsShellPaths>();
    s.workPlace = std::make_shared<TempWorkPlace>();
    s.properties = std::make_shared<ShellPropertiesSheet>();
    s.applicationChooser = std::make_shared<ShellOpenWith>();
    s.folders = std::make_shared<WindowsFolderSystem>();
    s.previewFs = std::make_shared<WindowsFileSystem>();
    s.shortcuts = MakeShortcuts();
    s.settingsFile = SettingsFileFor(ExecutablePath());
    return s;
}

}  // namespace tessaly
