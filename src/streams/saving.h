#pragma once
// The three save commands: every child that is not yet a stream of the parent written into it,
// the whole workspace written as a new file with streams, and one item copied to a plain file.
// The window shows the dialog, calls these and shows what they return.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "streams/copy_item.h"

namespace tessaly {

class Workspace;
class WorkspaceEditor;

struct SaveOutcome {
    // Set when a source could not be read or a target not be created: the command ended there, and
    // the workspace is as it was (what was written before stays written).
    std::optional<CopyError> error;
    // The new status text after a save that completed; empty after an error.
    std::string status;
    // After an error: the file the save was writing, and the items of it that were already
    // written in place when the error came (the parent's data as the file itself, streams as
    // "file:stream"); empty when the file is as it was.
    std::string target;
    std::vector<std::string> written;
};

// The error box text for a failed save: the copy's error, and below it what became of the target.
// Paths are shown made absolute against currentFolder.
std::string SaveErrorText(const SaveOutcome& outcome, std::string_view currentFolder);

// Writes every child whose name is not yet a stream of the parent into the parent, then resets the
// workspace and loads the parent again. Streams the parent has are never rewritten.
SaveOutcome SaveWhole(WorkspaceEditor& editor);

// Writes the parent's data and every child as a stream into a new file at target, then resets the
// workspace and loads target. The new file is assembled beside target and takes its place only
// when complete, so target may be the parent itself or one of the children.
SaveOutcome SaveWholeAs(WorkspaceEditor& editor, const std::string& target);

// Copies the selected item's own bytes to the plain file target; the workspace stays unchanged.
// Nothing happens when no node is selected.
SaveOutcome SaveSelectedAs(WorkspaceEditor& editor, const std::string& target);

// The file name the save dialog offers for the selected item: its final name component. Empty
// when nothing is selected.
std::optional<std::string> SaveSelectedDialogName(const Workspace& ws);

}  // namespace tessaly
