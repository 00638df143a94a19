#include "desktop/qt_url_opener.h"

#include <QDesktopServices>

namespace tessaly {

void DesktopUrlOpener::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

}  // namespace tessaly
