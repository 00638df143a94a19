#pragma once
// Opening a document or web address with the desktop's default handler (the help file, the home
// page). Behind an interface so that tests record the requests instead of starting a browser.

#include <QUrl>

namespace tessaly {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands url to the default handler; the result is not examined.
    virtual void openUrl(const QUrl& url) = 0;
};

// QDesktopServices: xdg-open or the desktop portal on Linux.
class DesktopUrlOpener final : public UrlOpener {
public:
    void openUrl(const QUrl& url) override;
};

}  // namespace tessaly
