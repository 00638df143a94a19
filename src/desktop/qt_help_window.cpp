#include "desktop/qt_help_window.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "common/qt_text.h"
#include "common/texts.h"

namespace tessaly {

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr8(texts::HelpCaption));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    // Links within the help stay here; addresses elsewhere go to the desktop.
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 560);
}

void HelpWindow::showFile(const QString& path)
{
    if (QFileInfo(path).isFile()) {
        browser_->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    } else {
        QString text = tr8(texts::HelpMissing);
        text.replace(QStringLiteral("%s"), shownText(pathBytes(path)));
        browser_->setPlainText(text);
    }
    show();
    raise();
    activateWindow();
}

HelpWindow* ShowHelpWindow(QWidget* owner, const QString& path)
{
    auto* window = owner->findChild<HelpWindow*>(QStringLiteral("HelpWindow"), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new HelpWindow(owner);
        // First over the middle of the window it belongs to; afterwards where the user put it.
        window->move(owner->window()->geometry().center() - window->rect().center());
    }
    window->showFile(path);
    return window;
}

}  // namespace tessaly
