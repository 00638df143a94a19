#pragma once
// The workspace: one parent file (the root) and its children in a two-level tree, and the loader
// that fills it. The window shows this model; it keeps no state of its own about the tree.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system.h"
#include "streams/enumerate.h"

namespace tessaly {

class FileSystem;
class IconList;
class OperationLog;

struct WorkspaceNode {
    std::string text;  // full path, or "<file>:<stream>"; an empty root means an empty workspace
    std::uint64_t size = 0;
    int image = 0;  // index into the workspace icon list
    // Where the bytes are. A stream that the loader found keeps its file and its own name here, so
    // that no command has to read them back out of the text (a name may hold ":" or "/", and a
    // file named like "doc.txt:notes" may lie beside doc.txt).
    ItemRef item;
};

// The name under which a child is written as a stream: a found stream's own name, an attached
// file's final name component.
std::string ChildStreamName(const WorkspaceNode& node);

class Workspace {
public:
    Workspace();

    bool isEmpty() const { return nodes_.front().text.empty(); }
    // Node 0 is the root; 1.. are the children in the order they were added.
    int nodeCount() const { return int(nodes_.size()); }
    const WorkspaceNode& node(int index) const { return nodes_.at(std::size_t(index)); }
    const WorkspaceNode& root() const { return nodes_.front(); }
    const std::vector<WorkspaceNode>& nodes() const { return nodes_; }

    // The selected node (-1 for none); commands act on it.
    int selected() const { return selected_; }
    void select(int index);
    const WorkspaceNode* selectedNode() const;

    // The whole-workspace save commands are offered after a load and withdrawn by a reset.
    bool saveCommandsEnabled() const { return saveEnabled_; }

    // The stream list of the file loaded last (the hidden list of the window).
    const StreamList& streamList() const { return streamList_; }

private:
    friend class WorkspaceEditor;
    std::vector<WorkspaceNode> nodes_;
    int selected_ = 0;
    bool saveEnabled_ = false;
    StreamList streamList_;
};

// The operations that change the workspace, with the services they reach the system through.
class WorkspaceEditor {
public:
    WorkspaceEditor(Workspace& ws, FileSystem& fs, IconList& icons, OperationLog& log)
        : ws_(ws), fs_(fs), icons_(icons), log_(log)
    {
    }

    // Puts path into the workspace: the parent when it is empty, otherwise a child unless its name
    // is taken; then adds the file's streams whose names are free. Every outcome is logged.
    void LoadIntoWorkspace(const std::string& path);
    // Empties the workspace (the root stays, with empty text) and logs the reset.
    void reset();
    // Removes child index (>= 1) from the list; the file or stream itself is not touched.
    void removeChild(int index);
    // Appends one icon for the item at path to the list and returns its index.
    int AddFileIcon(const std::string& path, IconList& list);

    Workspace& workspace() { return ws_; }
    FileSystem& fileSystem() { return fs_; }
    OperationLog& log() { return log_; }

private:
    void appendChild(const std::string& text, std::uint64_t size, ItemRef item);

    Workspace& ws_;
    FileSystem& fs_;
    IconList& icons_;
    OperationLog& log_;
};

// True when the final name component of path equals the name of a child (byte for byte).
bool NameInWorkspace(const Workspace& ws, const std::string& path);
// True when a child already goes by name (ChildStreamName, byte for byte).
bool NameTaken(const Workspace& ws, const std::string& name);
// Size of the object at path, 0 when it does not exist.
std::uint64_t FileSizeOf(FileSystem& fs, const std::string& path);
// The largest item read as an icon; real icon files are a few kilobytes.
inline constexpr std::uint64_t MaxIconBytes = 1024 * 1024;
// Appends one icon for the item at path: a stream or file named exactly "favicon" shows its own
// content decoded as an icon (logging an icon image error and appending an empty entry when it is
// not one, or is larger than MaxIconBytes; logged later when only decoding tells); anything else shows the desktop's icon for its extension.
// item, when given, is where the bytes of path are.
int AddFileIcon(FileSystem& fs, IconList& list, OperationLog& log, const std::string& path,
                const ItemRef* item = nullptr);

}  // namespace tessaly
