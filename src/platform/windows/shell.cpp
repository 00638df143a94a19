#include "platform/windows/windows_shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <type_traits>

#include "platform/cli_system.h"
#include "platform/windows/unique_handle.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_filesystem.h"
#include "streams/names.h"
#include "streams/path_rules.h"

namespace tessaly {

namespace {

// The system's text for an error code, without its closing line break.
std::string systemMessage(DWORD code)
{
    ::SetLastError(code);
    return LastError().message;
}

// ShellExecuteExW, reported as ShellExecute reports: a code above 32 when started, else the
// shell's error code; the last error read right after the call.
LaunchResult shellExecute(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No box of the shell's own on a failure: the log's result line tells it.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    const BOOL started = ::ShellExecuteExW(&info);
    const DWORD error = ::GetLastError();
    auto code = std::int32_t(reinterpret_cast<INT_PTR>(info.hInstApp));
    if (started && code <= 32)
        code = LaunchSucceeded;
    if (!started && code > 32)
        code = LaunchCodeForError(SysError{int(error), {}, ErrorKindOfWindowsError(error)});
    return LaunchResult{code, error, systemMessage(error)};
}

// A program path as the associations give it, without the quotes some carry.
std::string unquoted(std::wstring text)
{
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        text = text.substr(1, text.size() - 2);
    return Utf8(text);
}

std::string extensionOfName(const std::string& path)
{
    return ExtensionOf(path);
}

}  // namespace

LaunchResult ShellLauncher::launch(const std::string& verb, const std::string& file,
                                   const std::vector<std::string>& parameters)
{
    std::string line;
    for (const std::string& p : parameters)
        line += (line.empty() ? "" : " ") + QuoteArgument(p);
    const std::wstring wideVerb = Utf16(verb);
    return shellExecute(verb.empty() ? nullptr : wideVerb.c_str(), Utf16(file), Utf16(line));
}

LaunchResult ShellLauncher::openWith(const Application& application, const std::string& document)
{
    if (application.empty())
        return LaunchResult{LaunchNoAssociation, NoAssociationError, systemMessage(NoAssociationError)};
    const std::string parameters = application.entry.empty() ? QuoteArgument(document) : application.entry + document;
    return shellExecute(nullptr, Utf16(application.program), Utf16(parameters));
}

Application ShellAssociations::findApplication(const std::string& path)
{
    // The program that the shell starts for the file: a program is its own.
    wchar_t program[MAX_PATH + 1] = {};
    const auto found = reinterpret_cast<INT_PTR>(::FindExecutableW(Utf16(path).c_str(), nullptr, program));
    if (found > 32 && program[0])
        return Application{Utf8(program), {}};
    // A path too long for the call: judged by the name, as a stream is.
    return found == SE_ERR_NOASSOC ? Application{} : applicationForName(path);
}

Application ShellAssociations::applicationForName(const std::string& path)
{
    const std::string extension = extensionOfName(path);
    if (extension.empty())
        return {};
    DWORD size = 0;
    const std::wstring wideExtension = Utf16(extension);
    if (::AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCSTR_EXECUTABLE, wideExtension.c_str(), L"open", nullptr,
                            &size) != S_FALSE ||
        size == 0)
        return {};
    std::wstring program(size, L'\0');
    if (FAILED(::AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCSTR_EXECUTABLE, wideExtension.c_str(), L"open",
                                   program.data(), &size)))
        return {};
    program.resize(size > 0 ? size - 1 : 0);
    // A program's own type ("%1") opens nothing else.
    if (program.find(L"%1") != std::wstring::npos)
        return {};
    return Application{unquoted(program), {}};
}

Application ShellAssociations::defaultApplicationForType(const std::string& contentType)
{
    // The system's own editors, started by name through the shell.
    if (contentType == "text/plain")
        return Application{"notepad.exe", {}};
    if (contentType.rfind("image/", 0) == 0)
        return Application{"mspaint.exe", {}};
    return {};
}

std::string ShellAssociations::noAssociationMessage()
{
    return systemMessage(NoAssociationError);
}

std::string WindowsShellPaths::longPathOf(const std::string& path)
{
    const std::wstring wide = Utf16(path);
    const DWORD size = ::GetLongPathNameW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return path;
    std::wstring out(size, L'\0');
    const DWORD n = ::GetLongPathNameW(wide.c_str(), out.data(), size);
    if (n == 0 || n >= size)
        return path;
    out.resize(n);
    return Utf8(out);
}

std::string WindowsShellPaths::absolutePath(const std::string& path)
{
    // Not GetFullPathNameW: it would drop trailing dots and blanks, which are part of the name.
    return AbsolutePath(CurrentFolderPath(), path, PathStyle::Windows);
}

Expected<std::string> TempWorkPlace::folder()
{
    wchar_t temp[MAX_PATH + 2] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 2, temp);
    if (n == 0 || n > MAX_PATH + 1)
        return LastError();
    const std::string folder = Utf8(std::wstring_view(temp, n)) + "Tessaly\\";
    if (!::CreateDirectoryW(SystemPath(folder).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return LastError();
    return folder;
}

std::optional<SysError> TempWorkPlace::clearEntry(const std::string& name)
{
    auto root = folder();
    if (!root)
        return root.error();
    const std::wstring path = SystemPath(root.value() + name);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return SysError{ERROR_DIRECTORY, "a folder is in the way", ErrorKind::Other};
    // Copies are left read-only: that goes first.
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(path.c_str()))
        return LastError();
    return std::nullopt;
}

Expected<std::string> TempWorkPlace::exportReadOnly(const std::string& name, std::string_view data)
{
    if (auto error = clearEntry(name))
        return *error;
    auto root = folder();
    if (!root)
        return root.error();
    const std::string path = root.value() + name;
    WindowsFileSystem fs;
    if (auto error = fs.writeItem({path, {}}, data))
        return *error;
    // A copy is there to be read: a program that saves it is told so.
    ::SetFileAttributesW(SystemPath(path).c_str(), FILE_ATTRIBUTE_READONLY);
    return path;
}

bool ShellPropertiesSheet::ShowPropertiesSheet(const std::string& path)
{
    return ::SHObjectProperties(nullptr, SHOP_FILEPATH, Utf16(path).c_str(), nullptr) != FALSE;
}

std::optional<Application> ShellOpenWith::chooseApplication(const std::string&)
{
    return Application{"RunDLL32.exe", "shell32.dll,OpenAs_RunDLL "};
}

LaunchResult ShellOpen(const std::string& target)
{
    return shellExecute(L"open", Utf16(target), {});
}

std::optional<IconPixels> SmallIconForName(const std::string& name)
{
    SHFILEINFOW info{};
    // By the name alone: the file is not looked at.
    if (!::SHGetFileInfoW(Utf16(name).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                          SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES) ||
        !info.hIcon)
        return std::nullopt;
    const std::unique_ptr<std::remove_pointer_t<HICON>, decltype(&::DestroyIcon)> icon(info.hIcon, &::DestroyIcon);
    ICONINFO parts{};
    if (!::GetIconInfo(icon.get(), &parts))
        return std::nullopt;
    const auto deleteBitmap = [](HBITMAP b) {
        if (b)
            ::DeleteObject(b);
    };
    const std::unique_ptr<std::remove_pointer_t<HBITMAP>, decltype(deleteBitmap)> colour(parts.hbmColor, deleteBitmap);
    const std::unique_ptr<std::remove_pointer_t<HBITMAP>, decltype(deleteBitmap)> mask(parts.hbmMask, deleteBitmap);
    BITMAP bitmap{};
    if (!colour || !::GetObjectW(colour.get(), sizeof bitmap, &bitmap))
        return std::nullopt;
    IconPixels pixels;
    pixels.width = bitmap.bmWidth;
    pixels.height = bitmap.bmHeight;
    pixels.argb.resize(std::size_t(pixels.width) * std::size_t(pixels.height));
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = pixels.width;
    format.bmiHeader.biHeight = -pixels.height;  // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    const auto releaseDc = [](HDC dc) { ::ReleaseDC(nullptr, dc); };
    const std::unique_ptr<std::remove_pointer_t<HDC>, decltype(releaseDc)> screen(::GetDC(nullptr), releaseDc);
    if (!screen || !::GetDIBits(screen.get(), colour.get(), 0, UINT(pixels.height), pixels.argb.data(), &format,
                                DIB_RGB_COLORS))
        return std::nullopt;
    // An icon without alpha of its own is opaque where its mask says so.
    bool anyAlpha = false;
    for (const std::uint32_t p : pixels.argb)
        anyAlpha = anyAlpha || (p >> 24) != 0;
    if (!anyAlpha) {
        std::vector<std::uint32_t> maskBits(pixels.argb.size());
        const bool haveMask = mask && ::GetDIBits(screen.get(), mask.get(), 0, UINT(pixels.height), maskBits.data(),
                                                  &format, DIB_RGB_COLORS);
        for (std::size_t i = 0; i < pixels.argb.size(); ++i)
            if (!haveMask || (maskBits[i] & 0xFFFFFF) == 0)
                pixels.argb[i] |= 0xFF000000u;
    }
    return pixels;
}

}  // namespace tessaly
