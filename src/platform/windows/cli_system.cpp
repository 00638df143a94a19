#include "platform/cli_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstdio>

#include "platform/windows/windows_filesystem.h"

namespace tessaly {

std::unique_ptr<FileSystem> MakeCliFileSystem()
{
    return std::make_unique<WindowsFileSystem>();
}

std::unique_ptr<FolderSystem> MakeCliFolderSystem()
{
    return std::make_unique<WindowsFolderSystem>();
}

void UseBinaryStandardStreams()
{
    // The C runtime would turn LF into CR LF on the way out and stop reading at a Ctrl+Z.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // The program's own texts are UTF-8; a console shows them as such. Names outside ASCII in the
    // ANSI code page appear as escapes there, as any bytes that are not UTF-8 do.
    if (_isatty(_fileno(stdout)) || _isatty(_fileno(stderr)))
        ::SetConsoleOutputCP(CP_UTF8);
}

SignalHandler EndCleanlyOnSignals()
{
    // Writes on Windows leave no hidden files of their own to remove.
    return SIG_DFL;
}

bool StandardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace tessaly
