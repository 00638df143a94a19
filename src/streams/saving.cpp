#include "streams/saving.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "common/oplog.h"
#include "common/texts.h"
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

// Errors name the source by its tree text and the target as the user knows it, not by the file
// that a link or a file being assembled stands for.
CopyError shownAs(CopyError error, const std::string& source, const std::string& target)
{
    error.path = error.side == CopyError::Side::Target ? target : source;
    return error;
}

SaveOutcome failed(CopyError error, std::string target = {}, std::vector<std::string> written = {})
{
    return SaveOutcome{std::move(error), {}, std::move(target), std::move(written)};
}

std::string fillIn(std::string_view pattern, std::string_view first, std::string_view second = {})
{
    std::string out(pattern);
    for (std::string_view value : {first, second}) {
        const auto at = out.find("%s");
        if (at == std::string::npos)
            break;
        out.replace(at, 2, value);
    }
    return out;
}

}  // namespace

SaveOutcome SaveWhole(WorkspaceEditor& editor)
{
    FileSystem& fs = editor.fileSystem();
    OperationLog& log = editor.log();
    // Copied: the workspace is not changed before the reset, but the loop must not depend on that.
    const std::vector<WorkspaceNode> nodes = editor.workspace().nodes();
    const std::string& parent = nodes.front().text;
    // The streams go to the file the parent's path names (through a symbolic link, its target).
    const ItemRef& root = nodes.front().item;
    const std::string host = root.isStream() ? parent : fs.resolveLink(root.file);

    log.AppendLogLine(texts::WholeOverwriteSave, parent);
    log.AppendLogLine(texts::HeaderUnchanged, parent);
    std::vector<std::string> written;
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const std::string& text = nodes[i].text;
        const std::string name = ChildStreamName(nodes[i]);
        if (auto error = checkStreamName(parent, name))
            return failed(*error, parent, written);
        // A name the parent already carries is left alone: this command only adds streams.
        if (fs.streamExists(host, name)) {
            log.AppendLogLine(texts::HeaderUnchanged, text);
            continue;
        }
        // A stream that this write creates and cannot finish is removed again by the file layer.
        if (auto error = CopyItemData(fs, nodes[i].item, ItemRef{host, name}))
            return failed(shownAs(*error, text, parent + ":" + name), parent, written);
        log.AppendLogLine(texts::SavedAsChild, parent + ":" + name);
        written.push_back(parent + ":" + name);
    }
    return reloadSaved(editor, parent, texts::StatusWholeSaved);
}

SaveOutcome SaveWholeAs(WorkspaceEditor& editor, const std::string& target)
{
    FileSystem& fs = editor.fileSystem();
    OperationLog& log = editor.log();
    const std::vector<WorkspaceNode> nodes = editor.workspace().nodes();

    // An existing target is either rebuilt beside itself, with everything it carries, and put in
    // place at the end, or written in place where that would lose something (see FileSystem).
    auto pending = fs.createPending(target);
    if (!pending.ok())
        return failed(CopyError{CopyError::Side::Target, target, pending.error()}, target);
    const std::string building = pending.value()->path();
    const bool inPlace = pending.value()->inPlace();
    // A line is written when its data is on disk: at once in place, after the commit otherwise.
    std::vector<std::pair<std::string_view, std::string>> lines;
    const auto written = [&](std::string_view phrase, std::string subject) {
        if (inPlace)
            log.AppendLogLine(phrase, subject);
        else
            lines.emplace_back(phrase, std::move(subject));
    };

    // Written in place, the target changes item by item: an item read from the target itself is
    // set aside first, so that it is read as it was and not as the save has just made it.
    std::vector<std::unique_ptr<ItemReader>> sources(nodes.size());
    if (inPlace)
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (fs.sameFile(nodes[i].item.file, building)) {
                auto copy = fs.openCopy(nodes[i].item);
                if (!copy.ok())
                    return failed(CopyError{CopyError::Side::Source, nodes[i].text, copy.error()}, target);
                sources[i] = std::move(copy.value());
            }
    std::vector<std::string> changed;
    const auto copyNode = [&](std::size_t i, const ItemRef& to) {
        return sources[i] ? CopyItemData(fs, *sources[i], nodes[i].text, to) : CopyItemData(fs, nodes[i].item, to);
    };
    const auto fail = [&](CopyError error) { return failed(std::move(error), target, inPlace ? changed : std::vector<std::string>()); };

    if (auto error = copyNode(0, ItemRef{building, {}}))
        return fail(shownAs(*error, nodes.front().text, target));
    written(texts::ParentSaved, target);
    changed.push_back(target);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const std::string name = ChildStreamName(nodes[i]);
        if (auto error = checkStreamName(target, name))
            return fail(*error);
        const std::string shown = target + ":" + name;
        if (auto error = copyNode(i, ItemRef{building, name}))
            return fail(shownAs(*error, nodes[i].text, shown));
        written(texts::ChildSaved, shown);
        changed.push_back(shown);
    }
    if (auto error = pending.value()->commit())
        return failed(CopyError{CopyError::Side::Target, target, *error}, target);
    pending.value().reset();
    for (const auto& [phrase, subject] : lines)
        log.AppendLogLine(phrase, subject);
    return reloadSaved(editor, target, texts::StatusSavedTo);
}

SaveOutcome SaveSelectedAs(WorkspaceEditor& editor, const std::string& target)
{
    const WorkspaceNode* node = editor.workspace().selectedNode();
    if (!node)
        return {};
    const std::string text = node->text;
    const ItemRef source = node->item;
    FileSystem& fs = editor.fileSystem();
    if (auto error = CopyItemData(fs, source, ItemRef{target, {}}))
        return failed(shownAs(*error, text, target), target);
    editor.log().AppendLogLine(texts::SavedAlone, text + " " + target);
    return SaveOutcome{std::nullopt, FinalNameComponent(target) + std::string(texts::StatusSaved), {}, {}};
}

std::string SaveErrorText(const SaveOutcome& outcome, std::string_view currentFolder)
{
    if (!outcome.error)
        return {};
    const CopyError& error = *outcome.error;
    std::string text = CopyErrorText(error, AbsolutePathText(currentFolder, error.path));
    if (outcome.target.empty())
        return text;
    const std::string target = AbsolutePathText(currentFolder, outcome.target);
    if (error.targetChanged && error.side == CopyError::Side::Target) {
        text += " " + fillIn(texts::TargetPartlyWritten, target);
    } else if (!outcome.written.empty()) {
        std::string items;
        for (const std::string& item : outcome.written)
            items += (items.empty() ? "" : "、") + AbsolutePathText(currentFolder, item);
        text += " " + fillIn(texts::TargetItemsWritten, target, items);
    } else {
        text += " " + fillIn(texts::TargetUnchanged, target);
    }
    return text;
}

std::optional<std::string> SaveSelectedDialogName(const Workspace& ws)
{
    const WorkspaceNode* node = ws.selectedNode();
    if (!node)
        return std::nullopt;
    // A stream name may hold a "/", which no file name can: the dialog offers what follows it.
    const std::string name = ChildStreamName(*node);
    return name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
}

}  // namespace tessaly
