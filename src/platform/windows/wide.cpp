#include "platform/windows/wide.h"

#include <windows.h>

namespace tessaly {

std::wstring Utf16(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(std::size_t(units > 0 ? units : 0), L'\0');
    if (units > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), units);
    return out;
}

std::string Utf8(std::wstring_view utf16)
{
    if (utf16.empty())
        return {};
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring SystemPath(std::string_view path)
{
    const std::wstring wide = Utf16(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0)
        return wide;
    // The prefix turns off the system's own clean-up of the path, so it is done here first:
    // relative parts, "." and "..", and "/" as a separator.
    std::wstring full(wide.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (n == 0)
            return wide;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace tessaly
