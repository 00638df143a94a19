#include "app/services.h"

#include "common/dialogs.h"
#include "common/qt_text.h"
#include "desktop/qt_url_opener.h"
#include "launch/qt_open_with_dialog.h"
#include "launch/qt_properties_dialog.h"
#include "platform/linux/associations.h"
#include "platform/linux/launcher.h"
#include "platform/linux/linux_filesystem.h"
#include "platform/linux/shell_link.h"
#include "platform/linux/workplace.h"
#include "platform/linux/linux_folders.h"
#include "platform/window_system.h"

namespace tessaly {

Services Services::defaults()
{
    Services s;
    s.fs = std::make_shared<LinuxFileSystem>();
    s.dialogs = std::make_shared<WidgetDialogs>();
    auto associations = std::make_shared<GioAssociations>();
    // A file goes to the program for its type, an address to the one for its scheme.
    s.urls = std::make_shared<DesktopUrlOpener>([associations](const QUrl& url) {
        const Application program =
            url.isLocalFile()
                ? associations->findApplication(pathBytes(url.toLocalFile()))
                : associations->defaultApplicationForType("x-scheme-handler/" + url.scheme().toStdString());
        return !program.program.empty();
    });
    s.associations = associations;
    s.launcher = std::make_shared<LinuxLauncher>();
    s.shellPaths = std::make_shared<LinuxShellPaths>();
    s.workPlace = std::make_shared<LinuxWorkPlace>();
    s.properties = std::make_shared<DesktopPropertiesSheet>();
    s.applicationChooser = std::make_shared<OpenWithChooser>();
    s.folders = std::make_shared<LinuxFolderSystem>();
    s.previewFs = std::make_shared<LinuxFileSystem>();
    s.shortcuts = MakeShortcuts();
    s.settingsFile = SettingsFileFor(ExecutablePath());
    return s;
}

}  // namespace tessaly
