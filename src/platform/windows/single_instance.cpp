// One copy per logon on Windows: a named mutex in the session's namespace, and a property on the
// main window that later starts look for among the top-level windows.

#include <windows.h>

#include "platform/window_system.h"
#include "platform/windows/unique_handle.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_filesystem.h"

namespace tessaly {

namespace {

// The value the property holds on a running copy's window; a window with another value under the
// same name is someone else's.
constexpr std::uintptr_t InstanceMark = 20002999;

BOOL CALLBACK FindInstanceWindow(HWND window, LPARAM key)
{
    if (std::uintptr_t(::GetPropW(window, reinterpret_cast<const wchar_t*>(key))) != InstanceMark)
        return TRUE;
    if (::IsIconic(window))
        ::ShowWindow(window, SW_RESTORE);
    ::SetForegroundWindow(window);
    return FALSE;
}

class MutexInstanceGuard final : public InstanceGuard {
public:
    explicit MutexInstanceGuard(const std::string& key) : key_(Utf16(key)) {}
    ~MutexInstanceGuard() override { withdraw(); }

    Role acquire() override
    {
        // "Local\" is the session's namespace, which the name alone also means: one copy per logon.
        // The handle is held until the process ends, which releases it however it ends.
        mutex_ = UniqueHandle(::CreateMutexW(nullptr, TRUE, (L"Local\\" + key_).c_str()));
        const DWORD error = ::GetLastError();
        if (!mutex_.valid()) {
            error_ = LastError().message;
            return role_ = Role::Unguarded;
        }
        return role_ = error == ERROR_ALREADY_EXISTS ? Role::Second : Role::First;
    }
    Role role() const override { return role_; }

    bool requestActivation(int) const override
    {
        // The enumeration stops at the first marked window, having brought it forward.
        return !::EnumWindows(FindInstanceWindow, reinterpret_cast<LPARAM>(key_.c_str()));
    }

    bool serve(const std::function<std::uintptr_t()>& window, std::function<void()>) override
    {
        window_ = reinterpret_cast<HWND>(window());
        return ::SetPropW(window_, key_.c_str(), reinterpret_cast<HANDLE>(InstanceMark)) != 0;
    }

    void withdraw() override
    {
        if (window_)
            ::RemovePropW(std::exchange(window_, nullptr), key_.c_str());
    }

    const std::string& errorText() const override { return error_; }

private:
    std::wstring key_;
    UniqueHandle mutex_;
    Role role_ = Role::Unguarded;
    HWND window_ = nullptr;
    std::string error_;
};

}  // namespace

std::unique_ptr<InstanceGuard> MakeInstanceGuard(const std::string& key)
{
    return std::make_unique<MutexInstanceGuard>(key);
}

}  // namespace tessaly
