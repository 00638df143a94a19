#pragma once
// The folder pane's model: the file system's folders as a tree from the system's top ("/" on Linux;
// on Windows "PC", holding the drives), hidden folders included,
// read a level at a time as the user opens them. Paths are kept as bytes, so a folder whose name
// is not valid UTF-8 is shown (with escapes) and scanned under its real name. The folders shown
// are watched: folders made or removed elsewhere appear and go while the pane is open, and
// refresh() reads everything shown again.

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "streams/path_rules.h"

class QFileSystemWatcher;

namespace tessaly {

class FolderSystem;

class FolderTreeModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    struct Node;

    explicit FolderTreeModel(FolderSystem& folders, QObject* parent = nullptr, PathStyle style = NativePathStyle);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The folder's path; empty for an invalid index.
    std::string path(const QModelIndex& index) const;
    // The node of an absolute path, reading the folders on the way; invalid when there is none.
    QModelIndex indexOf(const std::string& path);
    // Reads the folder again: folders that have gone are taken out, new ones put in their place.
    // With recursive, every folder below it that has been read is read again too.
    void refresh(const QModelIndex& index, bool recursive = false);
    // Reads every folder shown again (F5).
    void refreshAll();

Q_SIGNALS:
    // A folder's children have been read (or read again).
    void directoryLoaded(const QString& path);

private:
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(Node* node) const;
    struct Listed {
        QString key;
        std::string name;
    };
    // The folders in path, sorted as the pane shows them.
    std::vector<Listed> listFolders(const std::string& path) const;
    void list(Node* node);
    void refreshNode(Node* node, bool recursive);
    void forget(Node* node);
    void watch(Node* node);

    FolderSystem& folders_;
    PathStyle style_;
    std::unique_ptr<Node> top_;  // invisible: its one child is "/" or "PC"
    std::unordered_map<std::string, Node*> listed_;  // read folders by path, for the watcher
    QFileSystemWatcher* watcher_ = nullptr;
    QIcon folderIcon_;
};

}  // namespace tessaly
