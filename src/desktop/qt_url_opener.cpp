#include "desktop/qt_url_opener.h"

#include <QDesktopServices>

namespace tessaly {

bool DesktopUrlOpener::openUrl(const QUrl& url)
{
    if (handled_ && !handled_(url))
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace tessaly
