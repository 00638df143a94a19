#include "streams/saving.h"

#include <cerrno>
#include <cstring>

#include "app/oplog.h"
#include "app/texts.h"
#include "streams/names.h"
#include "streams/workspace.h"

namespace tessaly {

namespace {

// A child is written as the stream named by its final name component. A text that ends in a
// delimiter has none; writing it would name the parent's own data, so it is refused as an invalid
// target name instead.
std::optional<CopyError> checkStreamName(const std::string& file, const std::string& name)
{
    if (!name.empty())
        return std::nullopt;
    return CopyError{CopyError::Side::Target, file + ":", SysError{EINVAL, std::strerror(EINVAL)}};
}

// After a completed whole save: reset, status, reload of the saved parent.
SaveOutcome reloadSaved(WorkspaceEditor& editor, const std::string& path, std::string_view statusTail)
{
    editor.reset();
    SaveOutcome done;
    done.status = FinalNameComponent(path) + std::string(statusTail);
    editor.log().AppendLogLine(texts::Reload, path);
    editor.LoadIntoWorkspace(path);
    return done;
}

SaveOutcome failed(CopyError error)
{
    return SaveOutcome{std::move(error), {}};
}

}  // namespace

SaveOutcome SaveWhole(WorkspaceEditor& editor)
{
    FileSystem& fs = editor.fileSystem();
    OperationLog& log = editor.log();
    // Copied: the workspace is not changed before the reset, but the loop must not depend on that.
    const std::vector<WorkspaceNode> nodes = editor.workspace().nodes();
    const std::string& parent = nodes.front().text;

    log.AppendLogLine(texts::WholeOverwriteSave, parent);
    log.AppendLogLine(texts::HeaderUnchanged, parent);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const std::string& text = nodes[i].text;
        const std::string name = FinalNameComponent(text);
        if (auto error = checkStreamName(parent, name))
            return failed(*error);
        // A name the parent already carries is left alone: this command only adds streams.
        if (fs.streamExists(parent, name)) {
            log.AppendLogLine(texts::HeaderUnchanged, text);
            continue;
        }
        if (auto error = CopyItemData(fs, ResolveItemText(fs, text), ItemRef{parent, name}))
            return failed(*error);
        log.AppendLogLine(texts::SavedAsChild, parent + ":" + name);
    }
    return reloadSaved(editor, parent, texts::StatusWholeSaved);
}

SaveOutcome SaveWholeAs(WorkspaceEditor& editor, const std::string& target)
{
    FileSystem& fs = editor.fileSystem();
    OperationLog& log = editor.log();
    const std::vector<WorkspaceNode> nodes = editor.workspace().nodes();

    auto pending = fs.createPending(target);
    if (!pending.ok())
        return failed(CopyError{CopyError::Side::Target, target, pending.error()});
    const std::string building = pending.value()->path();
    // Errors on the file being assembled are reported with the names it will have.
    const auto asTarget = [&](CopyError error, const std::string& shown) {
        if (error.side == CopyError::Side::Target)
            error.path = shown;
        return failed(std::move(error));
    };

    if (auto error = CopyItemData(fs, ResolveItemText(fs, nodes.front().text), ItemRef{building, {}}))
        return asTarget(*error, target);
    log.AppendLogLine(texts::ParentSaved, target);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const std::string& text = nodes[i].text;
        const std::string name = FinalNameComponent(text);
        if (auto error = checkStreamName(target, name))
            return failed(*error);
        const std::string shown = target + ":" + name;
        if (auto error = CopyItemData(fs, ResolveItemText(fs, text), ItemRef{building, name}))
            return asTarget(*error, shown);
        log.AppendLogLine(texts::ChildSaved, shown);
    }
    if (auto error = pending.value()->commit())
        return failed(CopyError{CopyError::Side::Target, target, *error});
    pending.value().reset();
    return reloadSaved(editor, target, texts::StatusSavedTo);
}

SaveOutcome SaveSelectedAs(WorkspaceEditor& editor, const std::string& target)
{
    const WorkspaceNode* node = editor.workspace().selectedNode();
    if (!node)
        return {};
    const std::string text = node->text;
    FileSystem& fs = editor.fileSystem();
    if (auto error = CopyItemData(fs, ResolveItemText(fs, text), ItemRef{target, {}}))
        return failed(*error);
    editor.log().AppendLogLine(texts::SavedAlone, text + " " + target);
    return SaveOutcome{std::nullopt, FinalNameComponent(target) + std::string(texts::StatusSaved)};
}

std::optional<std::string> SaveSelectedDialogName(const Workspace& ws)
{
    const WorkspaceNode* node = ws.selectedNode();
    if (!node)
        return std::nullopt;
    return FinalNameComponent(node->text);
}

}  // namespace tessaly
