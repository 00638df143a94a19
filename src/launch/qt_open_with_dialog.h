#pragma once
// Tessaly's own open-with dialog: the applications that the desktop offers for an item, with their
// names and icons; the user picks one to open the item with.

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "launch/launch_system.h"
#include "platform/linux/associations.h"

class QListWidget;

namespace tessaly {

class OpenWithDialog : public QDialog {
    Q_OBJECT

public:
    OpenWithDialog(const QString& item, std::vector<ApplicationEntry> applications, QWidget* parent = nullptr);

    // The selected application; nothing when none is selected.
    std::optional<Application> chosenApplication() const;
    QListWidget* list() const { return list_; }

private:
    std::vector<ApplicationEntry> applications_;
    QListWidget* list_ = nullptr;
};

// The icon GIO describes with text: a theme name, a themed icon with several names, or a file.
QIcon IconFromGioText(const std::string& text);

// Shows the dialog over the active window for the applications GIO offers for the item.
class OpenWithChooser final : public ApplicationChooser {
public:
    std::optional<Application> chooseApplication(const std::string& item) override;
};

}  // namespace tessaly
