// The window's system services on Windows besides one copy per logon and the shortcuts: the
// program's path, where its settings live, and what a killed run leaves.

#include "platform/window_system.h"

#include <windows.h>
#include <shlobj.h>

#include "common/texts.h"
#include "platform/windows/com.h"
#include "platform/windows/unique_handle.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_shell.h"

namespace tessaly {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Whether a new file can be made in folder: tried, since the access lists have the last word.
bool canWriteIn(const std::string& folder)
{
    const std::string probe = folder + "\\.tessaly-write-test-" + std::to_string(::GetCurrentProcessId());
    const UniqueHandle file(::CreateFileW(SystemPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                          nullptr));
    return file.valid();
}

}  // namespace

void LowerThreadPriority()
{
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

std::string ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string SettingsFileFor(const std::string& exePath)
{
    const std::string folder = folderOf(exePath);
    std::string name = exePath.substr(folder.size() == exePath.size() ? 0 : folder.size() + 1);
    const auto dot = name.rfind('.');
    name = (dot == std::string::npos ? name : name.substr(0, dot)) + ".ini";
    if (canWriteIn(folder))
        return folder + "\\" + name;
    // An installed copy (under Program Files) keeps its settings in the user's roaming folder.
    ComApartment apartment;
    TaskString appData;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, appData.out())))
        return folder + "\\" + name;
    const std::string own = Utf8(appData.get()) + "\\" + std::string(texts::ApplicationTitle);
    ::CreateDirectoryW(SystemPath(own).c_str(), nullptr);
    return own + "\\" + name;
}

void CleanUpAtStart()
{
    // A save on Windows builds its new file under a name beside the target and puts it in place in
    // one call; a run killed in between leaves that file beside the target, the target as it was.
    // Nothing is noted elsewhere to settle.
}

bool DisplayAvailable(const char*)
{
    return true;  // a desktop session always has one
}

std::optional<IconPixels> SystemSmallIcon(const std::string& name)
{
    return SmallIconForName(name);
}

}  // namespace tessaly
