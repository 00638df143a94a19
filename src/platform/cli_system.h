#pragma once
// What the command line needs from the system besides the core's interfaces; one implementation per
// operating system (platform/linux/cli_system.cpp, platform/windows/cli_system.cpp).

#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace tessaly {

std::unique_ptr<FileSystem> MakeCliFileSystem();
std::unique_ptr<FolderSystem> MakeCliFolderSystem();
// The arguments after the program's name, as UTF-8 on Windows (whatever the code page) and as the
// bytes given on Linux.
std::vector<std::string> CommandLineArguments(int argc, char* argv[]);
// The current folder's path; empty when it cannot be had (it was removed, say).
std::string CurrentFolderPath();
// Standard input and output carry bytes exactly, without any translation of line ends.
void UseBinaryStandardStreams();
// Makes the signals that end a program (Ctrl+C, SIGTERM, SIGHUP) first remove the hidden temporary
// files of writes under way, so that an ended command leaves its targets as they were and nothing
// beside them. Returns the handler, for a command that catches Ctrl+C itself to hand it on to.
using SignalHandler = void (*)(int);
SignalHandler EndCleanlyOnSignals();
// Whether standard error goes to a terminal (where a progress line can be rewritten in place).
bool StandardErrorIsTerminal();

}  // namespace tessaly
