#pragma once
// The workspace tab "ファイル構成" as one widget that owns its parts: the tree TreeView1 that shows
// the workspace, the preview of the selected item beside it, and the tree's context menu
// PopupMenu1 with its commands. The window connects the commands to its handlers and hears through
// signals what the user does in the tree.

#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QSplitter;
class QTreeWidget;

namespace tessaly {

class FileSystem;
class PreviewPane;
class QtIconList;
class Workspace;
struct PopupEnables;

class WorkspacePage final : public QWidget {
    Q_OBJECT

public:
    // Shows workspace with the icons of icons; previews read through previewFs.
    WorkspacePage(const Workspace& workspace, const QtIconList& icons, std::shared_ptr<FileSystem> previewFs,
                  QWidget* parent = nullptr);

    // Rebuilds the tree from the workspace, with its selection.
    void showWorkspace();
    // Puts icon image, decoded after the tree was shown, on the nodes that use it.
    void showNodeIcon(int image);
    // Selects workspace node index (0 the root) as a click would.
    void selectNode(int index);
    // Opens the root, so that its children are in view.
    void expandRoot();
    // The selected node in the preview.
    void previewSelectedNode();
    // Which context menu commands are offered.
    void enableCommands(const PopupEnables& enables);

    QSplitter* previewSplitter() const { return Splitter2; }
    PreviewPane* preview() const { return PreviewPane1; }

    // The context menu's commands, named as the menu names them.
    QAction* const Open2;
    QAction* const NotePad2;
    QAction* const OpenBy2;
    QAction* const OpenByDirect2;
    QAction* const CopyOpen2;
    QAction* const SaveAs2;
    QAction* const Delete2;
    QAction* const Property2;
    QAction* const CopyFileName2;

Q_SIGNALS:
    // The user selected node index (0 the root).
    void nodeSelected(int index);
    void nodeClicked();
    void nodeDoubleClicked();
    // The context menu is about to open: its commands are to be enabled for the selection.
    void menuAboutToOpen();

protected:
    // A right click on the tree opens the context menu on the node under the pointer.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTreeContextMenu(const QPoint& pos, bool byMouse);

    const Workspace& workspace_;
    const QtIconList& icons_;
    QTreeWidget* TreeView1 = nullptr;
    PreviewPane* PreviewPane1 = nullptr;
    QSplitter* Splitter2 = nullptr;  // tree | preview
    QMenu* PopupMenu1 = nullptr;
};

}  // namespace tessaly
