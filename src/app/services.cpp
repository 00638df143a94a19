#include "app/services.h"

#include "app/dialogs.h"
#include "desktop/qt_url_opener.h"
#include "platform/linux/linux_filesystem.h"

namespace tessaly {

Services Services::defaults()
{
    Services s;
    s.fs = std::make_shared<LinuxFileSystem>();
    s.dialogs = std::make_shared<WidgetDialogs>();
    s.urls = std::make_shared<DesktopUrlOpener>();
    return s;
}

}  // namespace tessaly
