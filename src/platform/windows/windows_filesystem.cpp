#include "platform/windows/windows_filesystem.h"

#include <windows.h>

#include <utility>

#include "platform/windows/unique_handle.h"
#include "platform/windows/wide.h"
#include "platform/windows/wide_file_api.h"

namespace tessaly {

namespace {

std::uint64_t sizeOf(DWORD high, DWORD low)
{
    return (std::uint64_t(high) << 32) | low;
}

// FILETIME counts 100 ns steps since 1601.
std::int64_t unixSeconds(const FILETIME& t)
{
    const std::int64_t ticks = std::int64_t(sizeOf(t.dwHighDateTime, t.dwLowDateTime));
    return (ticks - 116444736000000000LL) / 10000000LL;
}

class WindowsFolderListing final : public FolderListing {
public:
    WindowsFolderListing(HANDLE find, const WIN32_FIND_DATAW& first) : find_(find), data_(first) {}

    bool next(FolderEntry& entry) override
    {
        if (!pending_ && !::FindNextFileW(find_.get(), &data_))
            return false;
        pending_ = false;
        entry.name = Utf8(data_.cFileName);
        entry.size = sizeOf(data_.nFileSizeHigh, data_.nFileSizeLow);
        if (!(data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            entry.kind = FolderEntry::Kind::File;
        else
            // A junction or folder link can lead back to an ancestor: the walk does not follow it.
            entry.kind = data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? FolderEntry::Kind::FolderLink
                                                                              : FolderEntry::Kind::Folder;
        return true;
    }

private:
    UniqueFind find_;
    WIN32_FIND_DATAW data_;
    bool pending_ = true;
};

}  // namespace

SysError LastError()
{
    const DWORD code = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? Utf8(std::wstring_view(text, n)) : "error " + std::to_string(code);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return SysError{int(code), std::move(message), ErrorKindOfWindowsError(code)};
}

WindowsFileSystem::WindowsFileSystem() : NtFileSystem(std::make_shared<WideFileApi>()) {}

Expected<std::unique_ptr<FolderListing>> WindowsFolderSystem::openFolder(const std::string& folder)
{
    std::string pattern = folder;
    if (pattern.empty() || (pattern.back() != '/' && pattern.back() != '\\'))
        pattern.push_back('\\');
    pattern += "*";
    WIN32_FIND_DATAW first{};
    const HANDLE find = ::FindFirstFileW(SystemPath(pattern).c_str(), &first);
    if (find == INVALID_HANDLE_VALUE)
        return LastError();
    return std::unique_ptr<FolderListing>(std::make_unique<WindowsFolderListing>(find, first));
}

std::optional<FileFacts> WindowsFolderSystem::lookup(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return FileFacts{sizeOf(data.nFileSizeHigh, data.nFileSizeLow), unixSeconds(data.ftLastWriteTime)};
}

std::vector<std::string> WindowsFolderSystem::roots()
{
    std::vector<std::string> drives;
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i))
            drives.push_back(std::string(1, char('A' + i)) + ":\\");
    return drives;
}

}  // namespace tessaly
