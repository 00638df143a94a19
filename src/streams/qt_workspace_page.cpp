#include "streams/qt_workspace_page.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/qt_icon_list.h"
#include "common/qt_path_delegate.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "streams/commands.h"
#include "streams/qt_preview_pane.h"
#include "streams/workspace.h"

namespace tessaly {

namespace {
QAction* makeAction(QWidget* page, const char* name, std::string_view caption)
{
    auto* action = new QAction(tr8(caption), page);
    action->setObjectName(QLatin1String(name));
    return action;
}
}  // namespace

WorkspacePage::WorkspacePage(const Workspace& workspace, const QtIconList& icons,
                             std::shared_ptr<FileSystem> previewFs, QWidget* parent)
    : QWidget(parent),
      Open2(makeAction(this, "Open2", texts::PopupOpen)),
      NotePad2(makeAction(this, "NotePad2", texts::PopupNotePad)),
      OpenBy2(makeAction(this, "OpenBy2", texts::PopupOpenBy)),
      OpenByDirect2(makeAction(this, "OpenByDirect2", texts::PopupOpenByDirect)),
      CopyOpen2(makeAction(this, "CopyOpen2", texts::PopupCopyOpen)),
      SaveAs2(makeAction(this, "SaveAs2", texts::PopupSaveAs)),
      Delete2(makeAction(this, "Delete2", texts::PopupDelete)),
      Property2(makeAction(this, "Property2", texts::PopupProperty)),
      CopyFileName2(makeAction(this, "CopyFileName2", texts::PopupCopyFileName)),
      workspace_(workspace),
      icons_(icons)
{
    setObjectName(QStringLiteral("TabSheet1"));
    // The first key is the one the menu shows: "Enter" (both Enter keys act).
    Open2->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    CopyOpen2->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Enter), QKeySequence(Qt::ALT | Qt::Key_Return)});
    Delete2->setShortcut(QKeySequence(Qt::Key_Delete));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addActions({Open2, NotePad2, OpenBy2, OpenByDirect2, CopyOpen2});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({SaveAs2, Delete2});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({Property2, CopyFileName2});

    auto* l1 = new QVBoxLayout(this);
    l1->setContentsMargins(3, 3, 3, 3);
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(20);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setMouseTracking(true);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->setExpandsOnDoubleClick(false);
    TreeView1->setItemDelegate(new PathElideDelegate(TreeView1));
    // Shortcuts of the context menu act while the tree has the focus.
    for (QAction* a : {Open2, CopyOpen2, Delete2}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        TreeView1->addAction(a);
    }
    PreviewPane1 = new PreviewPane(std::move(previewFs));
    PreviewPane1->setObjectName(QStringLiteral("PreviewPane1"));
    // The tree first, taking the spare room, and the preview beside it.
    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setChildrenCollapsible(false);
    Splitter2->addWidget(TreeView1);
    Splitter2->addWidget(PreviewPane1);
    Splitter2->setStretchFactor(0, 1);
    l1->addWidget(Splitter2);
    // A right click reaches the viewport (and selects the node under it); the menu key reaches the
    // tree itself and keeps the selection.
    TreeView1->viewport()->installEventFilter(this);
    connect(TreeView1, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showTreeContextMenu(pos, false); });
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        Q_EMIT nodeSelected(item->parent() ? item->parent()->indexOfChild(item) + 1 : 0);
    });
    connect(TreeView1, &QTreeWidget::itemClicked, this, &WorkspacePage::nodeClicked);
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, &WorkspacePage::nodeDoubleClicked);
}

bool WorkspacePage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TreeView1->viewport() && event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        showTreeContextMenu(menuEvent->pos(), menuEvent->reason() == QContextMenuEvent::Mouse);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WorkspacePage::showWorkspace()
{
    const QSignalBlocker blocker(TreeView1);
    TreeView1->clear();
    // A node shows its path escaped; the raw bytes ride along in the user role, and every command
    // works on the workspace's own node, never on the shown text.
    const auto addNode = [this](QTreeWidgetItem* item, const WorkspaceNode& node) {
        item->setText(0, shownText(node.text));
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(node.text));
        item->setIcon(0, icons_.icon(node.image));
        item->setToolTip(0, PathToolTip(item->text(0), node.size));
        return item;
    };
    auto* root = addNode(new QTreeWidgetItem(TreeView1), workspace_.root());
    for (int i = 1; i < workspace_.nodeCount(); ++i)
        addNode(new QTreeWidgetItem(root), workspace_.node(i));
    TreeView1->expandAll();
    const int selected = workspace_.selected();
    if (selected == 0)
        TreeView1->setCurrentItem(root);
    else if (selected > 0)
        TreeView1->setCurrentItem(root->child(selected - 1));
}

// An icon decoded after its node was shown.
void WorkspacePage::showNodeIcon(int image)
{
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    for (int i = 0; i < workspace_.nodeCount(); ++i)
        if (QTreeWidgetItem* item = i == 0 ? root : root->child(i - 1); item && workspace_.node(i).image == image)
            item->setIcon(0, icons_.icon(image));
}

void WorkspacePage::selectNode(int index)
{
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    TreeView1->setCurrentItem(index == 0 ? root : root->child(index - 1));
}

void WorkspacePage::expandRoot()
{
    if (QTreeWidgetItem* root = TreeView1->topLevelItem(0))
        root->setExpanded(true);
}

void WorkspacePage::previewSelectedNode()
{
    const WorkspaceNode* node = workspace_.selectedNode();
    if (!node || node->text.empty()) {
        PreviewPane1->clear();
        return;
    }
    // The loader settled where the node's bytes are; only a node without that is resolved.
    PreviewPane1->showItem({node->text, node->item, node->item.file.empty(), node->size});
}

void WorkspacePage::enableCommands(const PopupEnables& e)
{
    Open2->setEnabled(e.Open2);
    NotePad2->setEnabled(e.NotePad2);
    OpenBy2->setEnabled(e.OpenBy2);
    OpenByDirect2->setEnabled(e.OpenByDirect2);
    CopyOpen2->setEnabled(e.CopyOpen2);
    SaveAs2->setEnabled(e.SaveAs2);
    Delete2->setEnabled(e.Delete2);
    Property2->setEnabled(e.Property2);
    CopyFileName2->setEnabled(e.CopyFileName2);
}

void WorkspacePage::showTreeContextMenu(const QPoint& pos, bool byMouse)
{
    // A right click selects the node under the pointer before the menu opens; over empty space, or
    // from the keyboard, the selection stays.
    QPoint at = pos;
    if (byMouse) {
        if (QTreeWidgetItem* item = TreeView1->itemAt(pos))
            TreeView1->setCurrentItem(item);
    } else if (QTreeWidgetItem* current = TreeView1->currentItem()) {
        at = TreeView1->visualItemRect(current).center();
    }
    Q_EMIT menuAboutToOpen();
    PopupMenu1->exec(TreeView1->viewport()->mapToGlobal(at));
}

}  // namespace tessaly
