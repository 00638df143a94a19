// Form1 handlers of this subsystem; they do nothing until the subsystem is built.

#include "app/form1.h"

namespace tessaly {

void Form1::TreeView1DblClick() {}
void Form1::NotePad2Click() {}
void Form1::OpenBy2Click() {}
void Form1::OpenByDirect2Click() {}
void Form1::CopyOpen2Click() {}
void Form1::Property2Click() {}
void Form1::CopyFileName2Click() {}

}  // namespace tessaly
