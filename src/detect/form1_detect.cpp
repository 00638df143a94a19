// Form1 handlers of this subsystem; they do nothing until the subsystem is built.

#include "app/form1.h"

namespace tessaly {

void Form1::FolderPaneClick() {}
void Form1::FolderPaneDblClick() {}
void Form1::CancelBtn1Click() {}
void Form1::ListView1DblClick() {}
void Form1::CopyAll4Click() {}

}  // namespace tessaly

namespace tessaly {

void Form1::createFolderPane() {}
QString Form1::folderPaneFolder() const
{
    return openDialogFolder_;
}
void Form1::setFolderPaneFolder(const QString&) {}
int Form1::folderPaneScrollX() const
{
    return 0;
}
void Form1::setFolderPaneScrollX(int) {}

}  // namespace tessaly
