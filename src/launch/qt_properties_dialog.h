#pragma once
// The properties of an item: the desktop file manager's window when one answers over D-Bus,
// otherwise a small window of Tessaly's own.

#include <string>

#include "launch/launch_system.h"

class QDialog;
class QWidget;

namespace tessaly {

// Shows (without waiting) Tessaly's own properties window for the file at path.
QDialog* ShowOwnPropertiesDialog(const std::string& path, QWidget* parent = nullptr);

class DesktopPropertiesSheet final : public PropertiesSheet {
public:
    bool ShowPropertiesSheet(const std::string& path) override;
};

}  // namespace tessaly
