#pragma once
// The window's boxes as the system's own message boxes, as every Windows program shows them;
// the file choosers stay the toolkit's (which are the system's dialogs on Windows).

#include "common/dialogs.h"

namespace tessaly {

class WindowsDialogs final : public Dialogs {
public:
    void showMessage(QWidget* parent, const QString& text, const QString& caption) override;
    bool askYesNo(QWidget* parent, const QString& text, const QString& caption) override;
    bool askWarning(QWidget* parent, const QString& text, const QString& caption) override;
    void showError(QWidget* parent, const QString& text) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& title, const QString& fileName,
                            const QString& filter) override;

private:
    WidgetDialogs files_;
};

}  // namespace tessaly
