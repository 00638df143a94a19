// Shell links (.lnk) through the shell's link object: read for the target and arguments of a link
// that is opened, written for the program's own shortcuts in the user's known folders.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>

#include "app/texts.h"
#include "platform/window_system.h"
#include "platform/windows/com.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_shell.h"

namespace tessaly {

namespace {

SysError comError(HRESULT result, const char* what)
{
    // An HRESULT of the Win32 facility carries the error code the system has a text for.
    const DWORD code = HRESULT_FACILITY(result) == FACILITY_WIN32 ? DWORD(HRESULT_CODE(result)) : DWORD(result);
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = std::string(what) + ": " + (n && text ? Utf8(std::wstring_view(text, n)) : "0x" + [&] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(result));
        return std::string(hex);
    }());
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return SysError{int(code), std::move(message), ErrorKindOfWindowsError(code)};
}

// The link object with both of its interfaces.
struct ShellLink {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
};

Expected<ShellLink> makeShellLink()
{
    ShellLink made;
    HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_IShellLinkW, made.link.out());
    if (FAILED(result))
        return comError(result, "the shell link object");
    result = made.link->QueryInterface(IID_IPersistFile, made.file.out());
    if (FAILED(result))
        return comError(result, "the shell link object");
    return made;
}

// What a link file says, read with the link object: its target or its arguments.
std::string readLink(const std::string& path, bool arguments)
{
    ComApartment apartment;
    auto made = makeShellLink();
    if (!made || FAILED(made.value().file->Load(Utf16(path).c_str(), STGM_READ)))
        return {};
    std::wstring text(32768, L'\0');
    const HRESULT result = arguments ? made.value().link->GetArguments(text.data(), int(text.size()))
                                     : made.value().link->GetPath(text.data(), int(text.size()), nullptr, 0);
    if (result != S_OK)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Utf8(text);
}

const KNOWNFOLDERID& knownFolder(Shortcuts::Place place)
{
    switch (place) {
    case Shortcuts::Place::Desktop:
        return FOLDERID_Desktop;
    case Shortcuts::Place::Programs:
        return FOLDERID_Programs;
    case Shortcuts::Place::Startup:
        break;
    }
    return FOLDERID_Startup;
}

class ShellLinkShortcuts final : public Shortcuts {
public:
    Written write(Place place, const std::string& exePath, const std::string&) override
    {
        ComApartment apartment;
        Written written;
        TaskString folder;
        const HRESULT found = ::SHGetKnownFolderPath(knownFolder(place), KF_FLAG_CREATE, nullptr, folder.out());
        if (FAILED(found)) {
            written.path = std::string(texts::ApplicationTitle) + ".Lnk";
            written.error = comError(found, "the folder");
            return written;
        }
        written.path = Utf8(folder.get()) + "\\" + std::string(texts::ApplicationTitle) + ".Lnk";
        auto made = makeShellLink();
        if (!made) {
            written.error = made.error();
            return written;
        }
        // The target is all the link says; everything else is the link object's default.
        made.value().link->SetPath(Utf16(exePath).c_str());
        // An earlier shortcut of the same name is replaced.
        const HRESULT saved = made.value().file->Save(Utf16(written.path).c_str(), FALSE);
        if (FAILED(saved))
            written.error = comError(saved, "the shortcut");
        return written;
    }
};

}  // namespace

std::string WindowsShellPaths::resolveShellLink(const std::string& path)
{
    return readLink(path, false);
}

std::string WindowsShellPaths::shellLinkArguments(const std::string& path)
{
    return readLink(path, true);
}

std::shared_ptr<Shortcuts> MakeShortcuts()
{
    return std::make_shared<ShellLinkShortcuts>();
}

}  // namespace tessaly
