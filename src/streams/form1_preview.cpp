// Form1's preview pane: the selected workspace node.

#include "app/form1.h"
#include "streams/qt_preview_pane.h"

namespace tessaly {

void Form1::createPreviewPanes()
{
    PreviewPane1 = new PreviewPane(services_.previewFs ? services_.previewFs : services_.fs);
    PreviewPane1->setObjectName(QStringLiteral("PreviewPane1"));
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

}  // namespace tessaly
