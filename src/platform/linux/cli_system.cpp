#include "platform/cli_system.h"

#include <unistd.h>

#include "platform/linux/linux_filesystem.h"
#include "platform/linux/linux_folders.h"

namespace tessaly {

std::unique_ptr<FileSystem> MakeCliFileSystem()
{
    return std::make_unique<LinuxFileSystem>();
}

std::unique_ptr<FolderSystem> MakeCliFolderSystem()
{
    return std::make_unique<LinuxFolderSystem>();
}

std::vector<std::string> CommandLineArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryStandardStreams() {}

bool StandardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace tessaly
