// Built by the Windows build and run under Wine by windows_platform_wine_test: the Windows platform
// layer against the real calls. Prints one line per failed check and ends with the number of
// failures as its exit code.
//   windows_platform_check FOLDER      (a folder it may write in)

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "platform/window_system.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_filesystem.h"
#include "platform/windows/windows_shell.h"

using namespace tessaly;

namespace {

int failures = 0;

void check(bool ok, const std::string& what)
{
    if (!ok) {
        ++failures;
        std::printf("FAIL %s\n", what.c_str());
    }
}

bool sameText(const std::string& a, const std::string& b)
{
    return ::CompareStringOrdinal(Utf16(a).c_str(), -1, Utf16(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

HWND topWindow()
{
    return ::CreateWindowExW(0, L"STATIC", L"check", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

void oneCopyPerLogon()
{
    const std::string key = "{6A1F0C52-9B7E-4C1D-8E55-" + std::to_string(::GetCurrentProcessId()) + "}";
    auto first = MakeInstanceGuard(key);
    auto second = MakeInstanceGuard(key);
    check(first->acquire() == InstanceGuard::Role::First, "the first copy holds the guard");
    check(second->acquire() == InstanceGuard::Role::Second, "a second copy finds it taken");
    check(!second->requestActivation(), "no window is found before the first copy marks one");
    const HWND window = topWindow();
    first->serve([window] { return std::uintptr_t(window); }, [] {});
    // A foreign window with the same property but another value comes first and is passed over.
    const HWND foreign = topWindow();
    ::SetPropW(foreign, Utf16(key).c_str(), reinterpret_cast<HANDLE>(std::uintptr_t(12345)));
    ::ShowWindow(window, SW_MINIMIZE);
    check(second->requestActivation(), "the second copy finds the marked window");
    check(!::IsIconic(window), "the marked window is restored");
    first->withdraw();
    check(!second->requestActivation(), "a withdrawn mark is found no more");
    ::DestroyWindow(foreign);
    ::DestroyWindow(window);
}

void shortcutsResolveToTheProgram()
{
    const std::string exe = ExecutablePath();
    const Shortcuts::Written written = MakeShortcuts()->write(Shortcuts::Place::Desktop, exe, {});
    check(!written.error, "a desktop shortcut is written: " + (written.error ? written.error->message : ""));
    check(written.path.size() > 12 && written.path.substr(written.path.size() - 12) == "\\Tessaly.Lnk",
          "the shortcut is Tessaly.Lnk: " + written.path);
    const std::string target = WindowsShellPaths().resolveShellLink(written.path);
    check(sameText(target, exe), "the shortcut leads to the program: " + target);
}

void settingsBesideTheProgram()
{
    const std::string exe = ExecutablePath();
    const std::string settings = SettingsFileFor(exe);
    check(sameText(settings, exe.substr(0, exe.size() - 4) + ".ini"), "the settings lie beside the program: " + settings);
}

void argumentsComeBackWhole()
{
    const std::string arguments[] = {"plain", "", "a b", "C:\\my dir\\", "say \"hi\"", "a\\\"b", "日本 語😀"};
    std::string line = "program";
    for (const std::string& a : arguments)
        line += " " + QuoteArgument(a);
    int count = 0;
    wchar_t** parsed = ::CommandLineToArgvW(Utf16(line).c_str(), &count);
    check(parsed && count == 1 + int(std::size(arguments)), "every argument is one: " + line);
    for (int i = 1; parsed && i < count && i <= int(std::size(arguments)); ++i)
        check(Utf8(parsed[i]) == arguments[i - 1], "argument comes back: " + arguments[i - 1]);
    ::LocalFree(parsed);
}

void replacedFileKeepsItsPlace(const std::string& folder)
{
    WindowsFileSystem fs;
    const std::string target = folder + "\\target 日本.txt";
    check(!fs.writeItem({target, {}}, "old"), "a new file is written");
    ::SetFileAttributesW(SystemPath(target).c_str(), FILE_ATTRIBUTE_HIDDEN);
    check(!fs.writeItem({target, {}}, "new"), "a file is replaced");
    check(fs.readItem({target, {}}).value() == "new", "the replaced file holds the new data");
    check(::GetFileAttributesW(SystemPath(target).c_str()) & FILE_ATTRIBUTE_HIDDEN, "the replaced file stays hidden");
    {
        auto pending = fs.createPending(target);
        check(pending.ok(), "a save-as begins");
        if (pending.ok()) {
            check(!fs.writeItem({pending.value()->path(), {}}, "saved as"), "the save-as writes beside");
            check(fs.readItem({target, {}}).value() == "new", "the target waits for the commit");
            check(!pending.value()->commit(), "the save-as commits");
        }
    }
    check(fs.readItem({target, {}}).value() == "saved as", "the save-as took the target's place");
    WindowsFolderSystem folders;
    auto listing = folders.openFolder(folder);
    int entries = 0;
    FolderEntry entry;
    while (listing.ok() && listing.value()->next(entry))
        entries += entry.name != "." && entry.name != "..";
    check(entries == 1, "nothing is left beside the target: " + std::to_string(entries) + " entries");
}

void workPlaceCopies()
{
    TempWorkPlace place;
    auto first = place.exportReadOnly("copy of a b.txt", "one");
    check(first.ok(), "a copy is exported");
    auto again = place.exportReadOnly("copy of a b.txt", "two");
    check(again.ok(), "a read-only copy is exported again over the last");
    if (again.ok()) {
        check(WindowsFileSystem().readItem({again.value(), {}}).value() == "two", "the copy holds the new data");
        check(::GetFileAttributesW(SystemPath(again.value()).c_str()) & FILE_ATTRIBUTE_READONLY, "the copy is read-only");
        place.clearEntry("copy of a b.txt");
    }
}

void shellOpensItems(const std::string& folder)
{
    // A type of the check's own, opened by Notepad (the prefix need not know any).
    const std::wstring command = L"\"C:\\windows\\system32\\notepad.exe\" \"%1\"";
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, L".tessalycheck", nullptr, REG_SZ, L"tessalycheckfile", 34);
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, L"tessalycheckfile\\shell\\open\\command", nullptr, REG_SZ,
                      command.c_str(), DWORD((command.size() + 1) * sizeof(wchar_t)));
    const std::string file = folder + "\\notes.tessalycheck";
    WindowsFileSystem().writeItem({file, {}}, "text");
    const auto isNotepad = [](const std::string& program) {
        return program.size() >= 11 && sameText(program.substr(program.size() - 11), "notepad.exe");
    };
    const std::string byName = ShellAssociations().applicationForName(file + ":memo.tessalycheck").program;
    check(isNotepad(byName), "a stream's program is found by its name: " + byName);
    const std::string byFile = ShellAssociations().findApplication(file).program;
    check(isNotepad(byFile), "a file's program is found: " + byFile);
    check(ShellAssociations().applicationForName("a.unknown-to-anyone").empty(), "an unknown type has no program");
    const LaunchResult missing = ShellLauncher().launch("open", folder + "\\missing.txt", {});
    check(missing.code == LaunchFileNotFound && missing.lastError == ERROR_FILE_NOT_FOUND && !missing.message.empty(),
          "a missing file is reported as the shell reports it: " + std::to_string(missing.code) + "," +
              std::to_string(missing.lastError) + ":" + missing.message);
    const auto icon = SmallIconForName("notes.txt");
    check(icon && icon->width > 0 && icon->argb.size() == std::size_t(icon->width) * std::size_t(icon->height),
          "a text has the shell's small icon");
}

}  // namespace

int main()
{
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const std::string folder = count > 1 ? Utf8(argv[1]) : std::string(".");
    ::LocalFree(argv);
    oneCopyPerLogon();
    shortcutsResolveToTheProgram();
    settingsBesideTheProgram();
    argumentsComeBackWhole();
    replacedFileKeepsItsPlace(folder);
    workPlaceCopies();
    shellOpensItems(folder);
    std::printf("%d failed\n", failures);
    return failures;
}
