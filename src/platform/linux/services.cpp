#include "app/services.h"

#include "app/dialogs.h"
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
    s.urls = std::make_shared<DesktopUrlOpener>();
    s.associations = std::make_shared<GioAssociations>();
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
