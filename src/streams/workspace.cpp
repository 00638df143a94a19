#include "streams/workspace.h"

#include "common/icons.h"
#include "common/oplog.h"
#include "common/texts.h"
#include "platform/system.h"
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

std::string ChildStreamName(const WorkspaceNode& node)
{
    return node.item.isStream() ? node.item.stream : FinalNameComponent(node.text);
}

bool NameTaken(const Workspace& ws, const std::string& name)
{
    for (int i = 1; i < ws.nodeCount(); ++i)
        if (ChildStreamName(ws.node(i)) == name)
            return true;
    return false;
}

bool NameInWorkspace(const Workspace& ws, const std::string& path)
{
    return NameTaken(ws, FinalNameComponent(path));
}

std::uint64_t FileSizeOf(FileSystem& fs, const std::string& path)
{
    return fs.fileSizeOf(path);
}

namespace {

// The bytes of an icon item, or nothing when it cannot be read or is larger than any real icon: such
// an item is not read at all, since reading it whole would stall the window and could run out of
// memory.
std::optional<std::string> iconBytes(FileSystem& fs, const ItemRef& ref)
{
    if (!ref.isStream() && fs.fileSizeOf(ref.file) > MaxIconBytes)
        return std::nullopt;
    auto reader = fs.openRead(ref);
    if (!reader)
        return std::nullopt;
    // One byte more than allowed tells a too-large stream from one of exactly the limit.
    std::string data(std::size_t(MaxIconBytes) + 1, '\0');
    std::size_t filled = 0;
    while (filled < data.size()) {
        auto got = reader.value()->read(data.data() + filled, data.size() - filled);
        if (!got)
            return std::nullopt;
        if (got.value() == 0)
            break;
        filled += got.value();
    }
    if (filled > MaxIconBytes)
        return std::nullopt;
    data.resize(filled);
    return data;
}

}  // namespace

int AddFileIcon(FileSystem& fs, IconList& list, OperationLog& log, const std::string& path, const ItemRef* item)
{
    const std::string_view name = item && item->isStream() ? std::string_view(item->stream) : FinalNameOf(path);
    if (name == "favicon") {
        if (const auto bytes = iconBytes(fs, item ? *item : ResolveItemText(fs, path)))
            if (auto index = list.addIconImage(*bytes, [&log, path] { log.AppendLogLine(texts::IconImageError, path); }))
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

void WorkspaceEditor::appendChild(const std::string& text, std::uint64_t size, ItemRef item)
{
    WorkspaceNode child{text, size, 0, std::move(item)};
    child.image = tessaly::AddFileIcon(fs_, icons_, log_, text, &child.item);
    ws_.nodes_.push_back(std::move(child));
}

void WorkspaceEditor::LoadIntoWorkspace(const std::string& path)
{
    // Settled once, while the path is given: a look-alike file "doc.txt:notes" beside doc.txt is
    // that file, and a path through a symbolic link stands for the file it names, whose streams
    // are the ones listed (and later written).
    ItemRef self = ResolveItemText(fs_, path);
    if (ws_.isEmpty()) {
        ws_.nodes_.assign(1, WorkspaceNode{path, FileSizeOf(fs_, path), 0, self});
        ws_.selected_ = 0;
        icons_.clear();
        ws_.nodes_.front().image = 0;
        tessaly::AddFileIcon(fs_, icons_, log_, path, &ws_.nodes_.front().item);
        log_.AppendLogLine(texts::SetAsParent, path);
    } else if (NameInWorkspace(ws_, path)) {
        log_.AppendLogLine(texts::SameNameRefused, path);
    } else {
        appendChild(path, FileSizeOf(fs_, path), self);
        log_.AppendLogLine(texts::SetAsChild, path);
    }

    const std::string host = self.isStream() ? std::string() : fs_.resolveLink(path);
    EnumerateStreams(fs_, path, ws_.streamList_, host);
    for (const auto& entry : ws_.streamList_) {
        // The entry is the path, ":" and the name, so the name is what follows the path.
        std::string name = entry.text.substr(path.size() + 1);
        if (NameTaken(ws_, name)) {
            log_.AppendLogLine(texts::SameNameRefused, entry.text);
            continue;
        }
        appendChild(entry.text, entry.size, ItemRef{host, std::move(name)});
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
