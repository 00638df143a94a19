#pragma once
// The command line: ls, cat, put and scan over the same core and platform layer as the window.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace tessaly {

class FileSystem;
class FolderSystem;

// Exit codes, the same for every subcommand.
enum CliExit : int {
    ExitDone = 0,
    ExitNothingFound = 1,  // ls: no streams at all; scan: no file with streams
    ExitUsage = 2,
    ExitItemFailed = 3,    // an item could not be read or written, or the output could not be written
    ExitIncomplete = 4,    // scan done, but folders or files that could not be read were passed over
    ExitInterrupted = 130, // scan stopped by Ctrl+C; what was found so far is written whole
};

struct CliEnvironment {
    FileSystem& fs;
    FolderSystem& folders;
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;
    bool errIsTerminal = false;
    // Set from the interrupt handler; the scan stops at the next directory entry when it is set.
    const volatile std::sig_atomic_t* interrupted = nullptr;
    // Puts the interrupt handler in place. Only the scan asks for it: elsewhere Ctrl+C ends the
    // program at once, as usual.
    void (*catchInterrupt)() = nullptr;
};

// args without the program name.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace tessaly
