#include "streams/commands.h"

#include "common/numbers.h"
#include "common/oplog.h"
#include "common/texts.h"
#include "streams/names.h"
#include "streams/workspace.h"

namespace tessaly {

DropOutcome HandleDrop(WorkspaceEditor& editor, const std::vector<std::string>& paths)
{
    auto& log = editor.log();
    if (editor.workspace().isEmpty()) {
        if (paths.size() != 1) {
            log.AppendLogLine(texts::SeveralParentsRefused, std::to_string(paths.size()));
            return {true, {}};
        }
        log.AppendLogLine(texts::ReceivedByDrop, paths.front());
        editor.LoadIntoWorkspace(paths.front());
        return {false, FinalNameComponent(paths.front()) + std::string(texts::StatusReceived)};
    }
    for (const auto& path : paths) {
        log.AppendLogLine(texts::ReceivedByDrop, path);
        editor.LoadIntoWorkspace(path);
    }
    if (paths.size() == 1)
        return {false, FinalNameComponent(paths.front()) + std::string(texts::StatusReceived)};
    return {false, std::to_string(paths.size()) + std::string(texts::StatusFilesReceived)};
}

std::string OpenFromDialog(WorkspaceEditor& editor, const std::string& path)
{
    editor.log().AppendLogLine(texts::LoadedFromDialog, path);
    editor.LoadIntoWorkspace(path);
    return FinalNameComponent(path) + std::string(texts::StatusLoaded);
}

bool DeleteSelected(WorkspaceEditor& editor)
{
    const int index = editor.workspace().selected();
    if (index == 0) {
        editor.reset();
        return true;
    }
    if (index < 0)
        return false;
    editor.log().AppendLogLine(texts::RemovedFromList, editor.workspace().node(index).text);
    editor.removeChild(index);
    return false;
}

std::string ClickStatusText(const Workspace& ws, std::string_view groupSeparator)
{
    const auto* node = ws.selectedNode();
    if (!node || TrimControls(node->text).empty())
        return {};
    return FinalNameComponent(node->text) + " (" + FormatGrouped(node->size, groupSeparator) + " Byte)";
}

PopupEnables PopupMenu1Popup(const Workspace& ws)
{
    PopupEnables e;
    const auto* node = ws.selectedNode();
    if (ws.isEmpty()) {
        e = {false, false, false, false, false, false, false, false, false};
    } else if (ws.selected() != 0) {
        e.OpenBy2 = false;
        e.Property2 = false;
    }
    const bool hasExtension = node && !ExtensionOf(node->text).empty();
    e.Open2 = e.NotePad2 = e.CopyOpen2 = hasExtension;
    return e;
}

}  // namespace tessaly
