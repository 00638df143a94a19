// Drives the Windows window from outside, as a user would with a second start:
//   second_start.exe TESSALY_EXE FILE KEY
// 1. starts Tessaly.exe FILE and waits for its window carrying the instance mark;
// 2. minimises it and starts a second copy with the same file: that copy must show the
//    already-running box, leave no window of its own, restore the first copy and end with 0;
// 3. closes the first copy, which must end with 0 and leave its settings file beside the exe;
// 4. starts once more: with the first copy gone, the next start runs normally.
// Prints one line per step (and how long the first window took) and exits with 0 when every step
// held.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr HANDLE_PTR Mark = 20002999;
constexpr DWORD Patience = 180000;  // only for a copy that never gets there at all
std::wstring key;
int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

struct Process {
    PROCESS_INFORMATION info{};
    ~Process()
    {
        if (info.hProcess) {
            ::CloseHandle(info.hThread);
            ::CloseHandle(info.hProcess);
        }
    }
};

bool start(Process& p, const std::wstring& exe, const std::wstring& arg)
{
    std::wstring line = L"\"" + exe + L"\" \"" + arg + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    return ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p.info);
}

struct Search {
    DWORD pid;
    HWND found = nullptr;
    bool dialog = false;  // a message box (#32770) instead of the marked window
};

BOOL CALLBACK visit(HWND window, LPARAM param)
{
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid)
        return TRUE;
    if (s->dialog) {
        wchar_t cls[64] = {};
        ::GetClassNameW(window, cls, 64);
        if (std::wcscmp(cls, L"#32770") == 0 && ::IsWindowVisible(window)) {
            s->found = window;
            return FALSE;
        }
        return TRUE;
    }
    if (reinterpret_cast<HANDLE_PTR>(::GetPropW(window, key.c_str())) == Mark) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for the process's marked window (or its message box); null when the process ends first.
HWND waitForWindow(const Process& p, bool dialog)
{
    for (DWORD waited = 0; waited < Patience; waited += 50) {
        Search s{p.info.dwProcessId, nullptr, dialog};
        ::EnumWindows(visit, reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        if (::WaitForSingleObject(p.info.hProcess, 50) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

std::wstring boxText(HWND box)
{
    std::wstring all;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[64] = {};
        ::GetClassNameW(child, cls, 64);
        if (std::wcscmp(cls, L"Static") != 0)
            continue;
        wchar_t text[512] = {};
        ::GetWindowTextW(child, text, 512);
        all += text;
    }
    return all;
}

// Lets the other programs work until condition holds, or until Patience has run out for one that
// never gets there.
void waitUntil(const std::function<bool()>& condition)
{
    const ULONGLONG start = ::GetTickCount64();
    while (!condition() && ::GetTickCount64() - start < Patience)
        ::Sleep(10);
}

DWORD waitForEnd(const Process& p)
{
    if (::WaitForSingleObject(p.info.hProcess, Patience) != WAIT_OBJECT_0)
        return DWORD(-1);
    DWORD code = 1;
    ::GetExitCodeProcess(p.info.hProcess, &code);
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: second_start TESSALY_EXE FILE KEY\n");
        return 2;
    }
    const std::wstring exe = argv[1], file = argv[2];
    key = argv[3];
    std::wstring ini = exe.substr(0, exe.size() - 4) + L".ini";
    ::DeleteFileW(ini.c_str());

    Process first;
    const ULONGLONG started = ::GetTickCount64();
    check(start(first, exe, file), "first copy started");
    const HWND window = waitForWindow(first, false);
    check(window != nullptr, "first copy shows its window with the instance mark");
    std::printf("first window after %llu ms\n", ::GetTickCount64() - started);
    if (!window)
        return 1;
    ::ShowWindow(window, SW_MINIMIZE);
    waitUntil([&] { return ::IsIconic(window) != FALSE; });
    check(::IsIconic(window), "first copy minimised");

    Process second;
    check(start(second, exe, file), "second copy started");
    const HWND box = waitForWindow(second, true);
    check(box != nullptr, "second copy shows a message box");
    if (box) {
        const std::wstring expected = L"\u65e2\u306b\u8d77\u52d5\u3055\u308c\u3066\u3044\u307e\u3059\u3002";
        check(boxText(box) == expected, "the box says it is already running");
        Search marked{second.info.dwProcessId};
        ::EnumWindows(visit, reinterpret_cast<LPARAM>(&marked));
        check(marked.found == nullptr, "second copy has no window of its own");
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    check(waitForEnd(second) == 0, "second copy ends with 0 once the box is closed");
    waitUntil([&] { return ::IsIconic(window) == FALSE; });
    check(!::IsIconic(window), "first copy restored");
    check(::GetForegroundWindow() == window, "first copy in front");

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    check(waitForEnd(first) == 0, "first copy ends with 0 when its window closes");
    check(::GetFileAttributesW(ini.c_str()) != INVALID_FILE_ATTRIBUTES, "settings written beside the executable");

    Process third;
    check(start(third, exe, file), "third copy started");
    const HWND again = waitForWindow(third, false);
    check(again != nullptr, "after the first copy ended, the next start runs normally");
    if (again)
        ::PostMessageW(again, WM_CLOSE, 0, 0);
    check(waitForEnd(third) == 0, "third copy ends with 0");
    return failures == 0 ? 0 : 1;
}
