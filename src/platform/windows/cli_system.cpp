#include "platform/cli_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "platform/windows/wide.h"
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

std::vector<std::string> CommandLineArguments(int, char*[])
{
    // argv holds the arguments in the ANSI code page, which loses any name outside it.
    int count = 0;
    const auto freeList = [](wchar_t** list) { ::LocalFree(list); };
    const std::unique_ptr<wchar_t*, decltype(freeList)> wide(::CommandLineToArgvW(::GetCommandLineW(), &count), freeList);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(Utf8(wide.get()[i]));
    return arguments;
}

std::string CurrentFolderPath()
{
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD n = size ? ::GetCurrentDirectoryW(size, folder.data()) : 0;
    if (n == 0 || n >= size)
        return {};
    folder.resize(n);
    return Utf8(folder);
}

void UseBinaryStandardStreams()
{
    // The C runtime would turn LF into CR LF on the way out and stop reading at a Ctrl+Z.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // The program's texts and names are UTF-8; a console shows them as such.
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
