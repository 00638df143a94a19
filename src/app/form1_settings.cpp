// Form1's settings file: read while the window is created, written when it may close.

#include "app/form1.h"

namespace tessaly {

void Form1::readSettings() {}

bool Form1::FormCloseQuery()
{
    return true;
}

}  // namespace tessaly
