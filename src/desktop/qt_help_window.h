#pragma once
// The help file shown by Tessaly itself, for a desktop where no program can show it: a window of
// its own beside the main window, kept and reused while the main window lives.

#include <QWidget>

class QTextBrowser;

namespace tessaly {

class HelpWindow final : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* owner);

    // Loads the HTML file at path (or says that it is missing) and brings the window up.
    void showFile(const QString& path);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

// The owner's help window, made on first use, showing path.
HelpWindow* ShowHelpWindow(QWidget* owner, const QString& path);

}  // namespace tessaly
