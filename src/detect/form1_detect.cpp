// Form1 handlers of this subsystem; they do nothing until the subsystem is built.

#include "app/form1.h"

namespace tessaly {

void Form1::FolderPaneClick() {}
void Form1::FolderPaneDblClick() {}
void Form1::CancelBtn1Click() {}
void Form1::ListView1DblClick() {}
void Form1::CopyAll4Click() {}

}  // namespace tessaly
