// Form1 handlers of this subsystem; they do nothing until the subsystem is built.

#include "app/form1.h"

namespace tessaly {

void Form1::Save1Click() {}
void Form1::SaveAs1Click() {}
void Form1::SaveAs2Click() {}

}  // namespace tessaly
