#include "app/services.h"

#include "app/dialogs.h"
#include "platform/linux/linux_filesystem.h"

namespace tessaly {

Services Services::defaults()
{
    Services s;
    s.fs = std::make_shared<LinuxFileSystem>();
    s.dialogs = std::make_shared<WidgetDialogs>();
    return s;
}

}  // namespace tessaly
