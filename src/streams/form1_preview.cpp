// Form1's preview panes: the selected workspace node, and the selected row of the detection list.

#include "app/form1.h"
#include "detect/qt_detection.h"
#include "streams/qt_preview_pane.h"

namespace tessaly {

void Form1::createPreviewPanes()
{
    std::shared_ptr<FileSystem> fs = services_.previewFs ? services_.previewFs : services_.fs;
    PreviewPane1 = new PreviewPane(fs);
    PreviewPane1->setObjectName(QStringLiteral("PreviewPane1"));
    PreviewPane2 = new PreviewPane(fs);
    PreviewPane2->setObjectName(QStringLiteral("PreviewPane2"));
}

void Form1::PreviewSelectedNode()
{
    const WorkspaceNode* node = workspace_.selectedNode();
    if (!PreviewPane1 || !node || node->text.empty()) {
        if (PreviewPane1)
            PreviewPane1->clear();
        return;
    }
    // The loader settled where the node's bytes are; only a node without that is resolved.
    PreviewPane1->showItem({node->text, node->item, node->item.file.empty(), node->size});
}

void Form1::PreviewScanRow(int row)
{
    if (!detection_ || !PreviewPane2)
        return;
    const auto& rows = detection_->rows();
    if (row < 0 || std::size_t(row) >= rows.size()) {
        PreviewPane2->clear();
        return;
    }
    // A child row is its parent row's path, ":" and the stream name: the pair is taken from the
    // rows, not from splitting the text again.
    int parent = row;
    while (parent > 0 && !rows[std::size_t(parent)].isParent())
        --parent;
    const std::string& file = rows[std::size_t(parent)].caption;
    const std::string& caption = rows[std::size_t(row)].caption;
    ItemRef item{file, {}};
    if (row != parent && caption.size() > file.size() + 1)
        item.stream = caption.substr(file.size() + 1);
    PreviewPane2->showItem({caption, std::move(item), false, 0});
}

}  // namespace tessaly
