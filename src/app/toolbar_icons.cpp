#include "app/toolbar_icons.h"

namespace tessaly {

QIcon ToolbarIcon(ToolbarImage image)
{
    struct Entry {
        const char* theme;
        const char* builtIn;
    };
    static constexpr Entry entries[] = {
        {"document-new", ":/tessaly/new.png"},
        {"document-open", ":/tessaly/open.png"},
        {"document-save", ":/tessaly/save.png"},
        {"document-save-as", ":/tessaly/saveas.png"},
    };
    const Entry& e = entries[int(image)];
    return QIcon::fromTheme(QLatin1String(e.theme), QIcon(QLatin1String(e.builtIn)));
}

}  // namespace tessaly
