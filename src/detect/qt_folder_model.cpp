#include "detect/qt_folder_model.h"

#include <QFile>
#include <QFileIconProvider>
#include <QFileSystemWatcher>

#include <algorithm>

#include "common/qt_text.h"
#include "common/shown_name.h"
#include "platform/system.h"

namespace tessaly {

struct FolderTreeModel::Node {
    std::string path;
    std::string name;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    QString key;  // the name as text, for the order only
    bool listed = false;
    bool drives = false;  // Windows' "PC": its children are the drives
    int row = 0;  // place among its parent's children, kept up to date on every change
};

namespace {

void renumber(std::vector<std::unique_ptr<FolderTreeModel::Node>>& children, std::size_t from = 0)
{
    for (std::size_t i = from; i < children.size(); ++i)
        children[i]->row = int(i);
}

std::string childPath(const std::string& folder, const std::string& name, PathStyle style)
{
    return IsSeparator(folder.back(), style) ? folder + name : folder + PreferredSeparator(style) + name;
}

// The shell's parsing name of "This PC", which is what the pane reports when it is selected.
constexpr const char* ComputerFolder = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

bool sameName(const std::string& a, const std::string& b, PathStyle style)
{
    return style == PathStyle::Windows ? QString::fromUtf8(a.data(), qsizetype(a.size()))
                                                 .compare(QString::fromUtf8(b.data(), qsizetype(b.size())), Qt::CaseInsensitive) == 0
                                       : a == b;
}

QString sortKey(const std::string& name)
{
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

// Names in the pane's order: without regard to case, as a person reads a folder, then by bytes.
bool comesBefore(const QString& keyA, const std::string& a, const QString& keyB, const std::string& b)
{
    const int c = keyA.compare(keyB, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

}  // namespace

FolderTreeModel::FolderTreeModel(FolderSystem& folders, QObject* parent, PathStyle style)
    : QAbstractItemModel(parent), folders_(folders), style_(style), top_(std::make_unique<Node>()),
      watcher_(new QFileSystemWatcher(this))
{
    folderIcon_ = QFileIconProvider().icon(QFileIconProvider::Folder);
    auto rootNode = std::make_unique<Node>();
    if (style == PathStyle::Windows) {
        rootNode->path = ComputerFolder;
        rootNode->name = "PC";
        rootNode->drives = true;
    } else {
        rootNode->path = "/";
        rootNode->name = "/";
    }
    rootNode->parent = top_.get();
    top_->children.push_back(std::move(rootNode));
    top_->listed = true;
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& changed) {
        const auto it = listed_.find(pathBytes(changed));
        if (it != listed_.end())
            refreshNode(it->second, false);
    });
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : top_.get();
}

QModelIndex FolderTreeModel::indexOfNode(Node* node) const
{
    if (!node || node == top_.get())
        return {};
    return createIndex(node->row, 0, node);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    if (column != 0 || row < 0 || std::size_t(row) >= node->children.size())
        return {};
    return createIndex(row, 0, node->children[std::size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    const Node* node = nodeOf(child);
    return node == top_.get() ? QModelIndex() : indexOfNode(node->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    return parent.column() > 0 ? 0 : int(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeOf(index);
    if (node == top_.get())
        return {};
    if (role == Qt::DisplayRole) {
        const std::string shown = ShownName(node->name);
        return QString::fromUtf8(shown.data(), qsizetype(shown.size()));
    }
    if (role == Qt::DecorationRole)
        return folderIcon_;
    return {};
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    // A folder not read yet may hold folders: it offers to open, and shows what it has when opened.
    const Node* node = nodeOf(parent);
    return !node->listed || !node->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    return !nodeOf(parent)->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* node = nodeOf(parent);
    if (!node->listed)
        list(node);
}

std::vector<FolderTreeModel::Listed> FolderTreeModel::listFolders(const std::string& path) const
{
    std::vector<Listed> names;
    if (path == ComputerFolder && style_ == PathStyle::Windows) {
        // The drives, in their letters' order.
        for (const std::string& drive : folders_.roots())
            names.push_back({sortKey(drive), drive});
        return names;
    }
    auto listing = folders_.openFolder(path);
    if (!listing)
        return names;
    FolderEntry entry;
    while ((*listing)->next(entry)) {
        if (entry.kind == FolderEntry::Kind::File || entry.name == "." || entry.name == "..")
            continue;
        names.push_back({sortKey(entry.name), entry.name});
    }
    std::sort(names.begin(), names.end(),
              [](const Listed& a, const Listed& b) { return comesBefore(a.key, a.name, b.key, b.name); });
    return names;
}

void FolderTreeModel::list(Node* node)
{
    const std::vector<Listed> names = listFolders(node->path);
    node->listed = true;
    if (!names.empty()) {
        beginInsertRows(indexOfNode(node), 0, int(names.size()) - 1);
        for (const Listed& listed : names) {
            auto child = std::make_unique<Node>();
            child->path = node->drives ? listed.name : childPath(node->path, listed.name, style_);
            child->name = listed.name;
            child->key = listed.key;
            child->parent = node;
            node->children.push_back(std::move(child));
        }
        renumber(node->children);
        endInsertRows();
    } else {
        // The expander goes away: the folder holds no folders.
        const QModelIndex index = indexOfNode(node);
        Q_EMIT dataChanged(index, index);
    }
    watch(node);
    Q_EMIT directoryLoaded(QString::fromUtf8(node->path.data(), qsizetype(node->path.size())));
}

void FolderTreeModel::watch(Node* node)
{
    listed_[node->path] = node;
    if (node->drives)
        return;  // no folder to watch: the drives are read again on a refresh
    // The watcher takes paths as text: a folder whose path does not survive the round trip is
    // read again when it is opened or refreshed instead.
    const QString text = pathText(node->path);
    if (pathBytes(text) == node->path)
        watcher_->addPath(text);
}

void FolderTreeModel::forget(Node* node)
{
    for (const auto& child : node->children)
        forget(child.get());
    if (node->listed) {
        listed_.erase(node->path);
        watcher_->removePath(pathText(node->path));
    }
}

void FolderTreeModel::refresh(const QModelIndex& index, bool recursive)
{
    Node* node = nodeOf(index);
    if (node != top_.get())
        refreshNode(node, recursive);
}

void FolderTreeModel::refreshAll()
{
    refreshNode(top_->children.front().get(), true);
}

void FolderTreeModel::refreshNode(Node* node, bool recursive)
{
    if (!node->listed)
        return;
    const std::vector<Listed> names = listFolders(node->path);
    const QModelIndex parent = indexOfNode(node);
    // Both lists are in the same order: walk them side by side, taking out what has gone and
    // putting in what is new, so that the folders that stay keep their nodes (and the selection).
    std::size_t at = 0;
    for (const auto& [key, name] : names) {
        while (at < node->children.size() && comesBefore(node->children[at]->key, node->children[at]->name, key, name)) {
            beginRemoveRows(parent, int(at), int(at));
            forget(node->children[at].get());
            node->children.erase(node->children.begin() + std::ptrdiff_t(at));
            renumber(node->children, at);
            endRemoveRows();
        }
        if (at < node->children.size() && node->children[at]->name == name) {
            ++at;
            continue;
        }
        beginInsertRows(parent, int(at), int(at));
        auto child = std::make_unique<Node>();
        child->path = node->drives ? name : childPath(node->path, name, style_);
        child->name = name;
        child->key = key;
        child->parent = node;
        node->children.insert(node->children.begin() + std::ptrdiff_t(at), std::move(child));
        renumber(node->children, at);
        endInsertRows();
        ++at;
    }
    if (at < node->children.size()) {
        beginRemoveRows(parent, int(at), int(node->children.size()) - 1);
        for (std::size_t i = at; i < node->children.size(); ++i)
            forget(node->children[i].get());
        node->children.erase(node->children.begin() + std::ptrdiff_t(at), node->children.end());
        endRemoveRows();
    }
    Q_EMIT dataChanged(parent, parent);
    if (recursive)
        for (const auto& child : node->children)
            refreshNode(child.get(), true);
    Q_EMIT directoryLoaded(QString::fromUtf8(node->path.data(), qsizetype(node->path.size())));
}

std::string FolderTreeModel::path(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node == top_.get() ? std::string() : node->path;
}

QModelIndex FolderTreeModel::indexOf(const std::string& path)
{
    const std::size_t rootLength = RootLength(path, style_);
    if (path.empty() || !IsAbsolutePath(path, style_))
        return {};
    Node* node = top_->children.front().get();
    const auto find = [&](const std::string& name) {
        if (!node->listed)
            list(node);
        auto it = std::find_if(node->children.begin(), node->children.end(),
                               [&](const auto& c) { return sameName(c->name, name, style_); });
        if (it == node->children.end()) {
            // Made since the folder was read, and the watcher has not told yet: read it again.
            refreshNode(node, false);
            it = std::find_if(node->children.begin(), node->children.end(),
                              [&](const auto& c) { return sameName(c->name, name, style_); });
        }
        return it == node->children.end() ? nullptr : it->get();
    };
    if (node->drives) {
        // "C:\dir" starts at the drive "C:\".
        std::string drive = path.substr(0, rootLength);
        if (!drive.empty() && drive.back() == '/')
            drive.back() = '\\';
        node = find(drive);
        if (!node)
            return {};
    }
    std::size_t at = rootLength;
    while (at < path.size()) {
        std::size_t end = at;
        while (end < path.size() && !IsSeparator(path[end], style_))
            ++end;
        const std::string name = path.substr(at, end - at);
        at = end + 1;
        if (name.empty() || name == ".")
            continue;
        node = find(name);
        if (!node)
            return {};
    }
    return indexOfNode(node);
}

}  // namespace tessaly
