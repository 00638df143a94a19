#pragma once
// What the command line needs from the system besides the core's interfaces; one implementation per
// operating system (platform/linux/cli_system.cpp, platform/windows/cli_system.cpp).

#include <memory>

#include "platform/system.h"

namespace tessaly {

std::unique_ptr<FileSystem> MakeCliFileSystem();
std::unique_ptr<FolderSystem> MakeCliFolderSystem();
// Standard input and output carry bytes exactly, without any translation of line ends.
void UseBinaryStandardStreams();
// Whether standard error goes to a terminal (where a progress line can be rewritten in place).
bool StandardErrorIsTerminal();

}  // namespace tessaly
