#include "streams/workspace.h"

#include "app/oplog.h"
#include "app/texts.h"
#include "platform/system.h"
#include "streams/icons.h"
#include "streams/names.h"

namespace tessaly {

Workspace::Workspace() : nodes_(1) {}

void Workspace::select(int index)
{
    selected_ = (index >= 0 && index < nodeCount()) ? index : -1;
}

const WorkspaceNode* Workspace::selectedNode() const
{
    return selected_ >= 0 && selected_ < nodeCount() ? &nodes_[std::size_t(selected_)] : nullptr;
}

bool NameInWorkspace(const Workspace& ws, const std::string& path)
{
    const std::string name = FinalNameComponent(path);
    for (int i = 1; i < ws.nodeCount(); ++i)
        if (FinalNameComponent(ws.node(i).text) == name)
            return true;
    return false;
}

std::uint64_t FileSizeOf(FileSystem& fs, const std::string& path)
{
    return fs.fileSizeOf(path);
}

int AddFileIcon(FileSystem& fs, IconList& list, OperationLog& log, const std::string& path)
{
    if (FinalNameComponent(path) == "favicon") {
        auto bytes = fs.readItem(ResolveItemText(fs, path));
        if (bytes.ok())
            if (auto index = list.addIconImage(bytes.value()))
                return *index;
        log.AppendLogLine(texts::IconImageError, path);
        return list.addEmpty();
    }
    return list.addForExtension(ExtensionOf(path));
}

int WorkspaceEditor::AddFileIcon(const std::string& path, IconList& list)
{
    return tessaly::AddFileIcon(fs_, list, log_, path);
}

void WorkspaceEditor::appendChild(const std::string& text, std::uint64_t size)
{
    WorkspaceNode child{text, size, 0};
    child.image = AddFileIcon(text, icons_);
    ws_.nodes_.push_back(std::move(child));
}

void WorkspaceEditor::LoadIntoWorkspace(const std::string& path)
{
    if (ws_.isEmpty()) {
        ws_.nodes_.assign(1, WorkspaceNode{path, FileSizeOf(fs_, path), 0});
        ws_.selected_ = 0;
        icons_.clear();
        ws_.nodes_.front().image = 0;
        AddFileIcon(path, icons_);
        log_.AppendLogLine(texts::SetAsParent, path);
    } else if (NameInWorkspace(ws_, path)) {
        log_.AppendLogLine(texts::SameNameRefused, path);
    } else {
        appendChild(path, FileSizeOf(fs_, path));
        log_.AppendLogLine(texts::SetAsChild, path);
    }

    EnumerateStreams(fs_, path, ws_.streamList_);
    for (const auto& entry : ws_.streamList_) {
        if (NameInWorkspace(ws_, entry.text)) {
            log_.AppendLogLine(texts::SameNameRefused, entry.text);
            continue;
        }
        appendChild(entry.text, entry.size);
        log_.AppendLogLine(texts::StreamFound, entry.text);
    }
    ws_.saveEnabled_ = true;
}

void WorkspaceEditor::reset()
{
    ws_.nodes_.assign(1, WorkspaceNode{});
    ws_.selected_ = 0;
    ws_.streamList_.clear();
    log_.AppendLogLine(texts::WorkspaceInitialised);
    ws_.saveEnabled_ = false;
    icons_.clear();
}

void WorkspaceEditor::removeChild(int index)
{
    if (index < 1 || index >= ws_.nodeCount())
        return;
    ws_.nodes_.erase(ws_.nodes_.begin() + index);
    // The tree control would move the selection to a neighbour; keep one node selected.
    if (ws_.selected_ >= ws_.nodeCount())
        ws_.selected_ = ws_.nodeCount() - 1;
}

}  // namespace tessaly
