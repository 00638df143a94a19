// Form1 handlers of this subsystem; they do nothing until the subsystem is built.

#include "app/form1.h"

namespace tessaly {

void Form1::DeskTop1Click() {}
void Form1::StartUp1Click() {}
void Form1::StartMenu1Click() {}
void Form1::Help2Click() {}
void Form1::About1Click() {}
void Form1::Site1Click() {}

}  // namespace tessaly
