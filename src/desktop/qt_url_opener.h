#pragma once
// Opening a document or web address with the desktop's default handler (the help file, the home
// page). Behind an interface so that tests record the requests instead of starting a browser.

#include <QUrl>

#include <functional>

namespace tessaly {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands url to the default handler; false when nothing on the system can take it (no program
    // for the file's type or the address's scheme, or no launcher at all).
    virtual bool openUrl(const QUrl& url) = 0;
};

// QDesktopServices: xdg-open or the desktop portal on Linux. xdg-open starts whether or not a
// program stands behind it, so the platform may say beforehand which addresses have one.
class DesktopUrlOpener final : public UrlOpener {
public:
    explicit DesktopUrlOpener(std::function<bool(const QUrl&)> handled = {}) : handled_(std::move(handled)) {}
    bool openUrl(const QUrl& url) override;

private:
    std::function<bool(const QUrl&)> handled_;
};

}  // namespace tessaly
