#include "platform/cli_system.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/linux/linux_filesystem.h"
#include "platform/linux/linux_folders.h"
#include "platform/linux/unfinished.h"

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

std::string CurrentFolderPath()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

void UseBinaryStandardStreams() {}

namespace {

extern "C" void endCleanly(int signal)
{
    RemoveRegisteredFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);  // delivered as the handler returns: the program ends by the signal, as usual
}

}  // namespace

SignalHandler EndCleanlyOnSignals()
{
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, endCleanly);
    return endCleanly;
}

bool StandardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace tessaly
