#pragma once
// The workspace commands that change or inspect the tree without writing to disk. The window calls
// them with what its controls hold and shows what they return.

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class Workspace;
class WorkspaceEditor;

struct DropOutcome {
    bool refused = false;  // several files on an empty workspace: show the one-parent message
    std::string status;    // new status text; empty when it stays as it was
};

// Files dropped on the window, in drop order.
DropOutcome HandleDrop(WorkspaceEditor& editor, const std::vector<std::string>& paths);
// A file chosen in the Open dialog; returns the status text.
std::string OpenFromDialog(WorkspaceEditor& editor, const std::string& path);
// Removes the selected node: the root resets the whole workspace. Returns true for a reset.
bool DeleteSelected(WorkspaceEditor& editor);
// "<name> (1,234 Byte)" for the selected node; empty when its text is blank (empty workspace).
std::string ClickStatusText(const Workspace& ws, std::string_view groupSeparator);

// Which items of the tree's context menu are offered for the current selection.
struct PopupEnables {
    bool Open2 = true, NotePad2 = true, OpenBy2 = true, OpenByDirect2 = true, CopyOpen2 = true,
         SaveAs2 = true, Delete2 = true, Property2 = true, CopyFileName2 = true;
    bool operator==(const PopupEnables&) const = default;
};
PopupEnables PopupMenu1Popup(const Workspace& ws);

}  // namespace tessaly
