#pragma once
// The four pictures shared by the toolbar and the File menu: the desktop theme's where it has them,
// our own built-in ones where it does not, so that no button is ever blank.

#include <QIcon>

namespace tessaly {

enum class ToolbarImage { New, Open, Save, SaveAs };

QIcon ToolbarIcon(ToolbarImage image);

}  // namespace tessaly
