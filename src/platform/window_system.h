#pragma once
// What the window needs from the system beyond files and opening items: one copy per logon, where
// the settings live, shortcuts to the program, the clean-up at start and the program's own place.
// Declared once, defined per system (platform/linux/window_system.cpp,
// platform/windows/window_system.cpp); the instance guard and the shortcuts are objects so that
// tests can put fakes in their place.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace tessaly {

// One running copy per user logon. The first copy holds the guard for as long as it runs; a later
// one finds it taken, asks the first to bring its window forward and ends.
class InstanceGuard {
public:
    enum class Role {
        First,      // this copy holds the guard and runs
        Second,     // another copy of the same user holds it
        Unguarded,  // the guard could not be had at all: this copy runs without the rule
    };
    virtual ~InstanceGuard() = default;

    // Takes the guard, atomically: of two copies started at the same moment exactly one is First.
    virtual Role acquire() = 0;
    virtual Role role() const = 0;
    // Second copy: brings the running copy's window forward, waiting up to timeoutMs where that
    // takes an answer. False when no running copy was found.
    virtual bool requestActivation(int timeoutMs = 3000) const = 0;
    // First copy: makes the window findable by later starts. window gives the system's handle of
    // the main window, asked for only on a system that marks the window itself; activate runs on
    // this thread when a later start asks for the window, on a system where it cannot bring the
    // window forward itself.
    virtual bool serve(const std::function<std::uintptr_t()>& window, std::function<void()> activate) = 0;
    // Takes the mark away again once the window has closed.
    virtual void withdraw() {}
    // Why the copy runs unguarded or could not serve.
    virtual const std::string& errorText() const = 0;
};

// The system's guard named by key (a GUID string that never changes, so that every version of the
// program sees every other).
std::unique_ptr<InstanceGuard> MakeInstanceGuard(const std::string& key);

// Shortcuts that start the program: on the desktop, among the user's programs, and among the
// programs started at log-on.
class Shortcuts {
public:
    enum class Place { Desktop, Programs, Startup };
    struct Written {
        std::string path;               // the shortcut's file, or where it would have gone
        std::optional<SysError> error;  // why it could not be written
    };
    virtual ~Shortcuts() = default;
    // Writes a shortcut to the program at exePath into place, replacing an earlier one. icon: the
    // picture for a system whose shortcut names one (a Windows link takes the program's own).
    virtual Written write(Place place, const std::string& exePath, const std::string& icon) = 0;
};
std::shared_ptr<Shortcuts> MakeShortcuts();

// The running program's full path.
std::string ExecutablePath();
// Puts the calling thread below the window's thread in the system's scheduling, for background
// work that would otherwise take turns with it and hold up repaints and clicks. The same level
// however often it is called.
void LowerThreadPriority();
// The settings file: beside the executable (its name with ".ini") when that folder can be written,
// a build or portable folder; otherwise the same name in the user's folder for settings
// ($XDG_CONFIG_HOME/Tessaly, %APPDATA%\Tessaly), so that an installed copy keeps its settings too.
std::string SettingsFileFor(const std::string& exePath);
// Settles what writes of an earlier run that was killed left half done, before anything is read.
void CleanUpAtStart();
// Whether the window can be shown at all; when not, says on standard error what to do instead.
bool DisplayAvailable(const char* programName);

// A small icon's pixels, 32-bit ARGB, row by row from the top.
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};
// The system's own small icon for files of this name, judged by the name alone (the file is never
// opened). Nothing where the system gives none: on Linux the window asks the icon theme instead.
std::optional<IconPixels> SystemSmallIcon(const std::string& name);

}  // namespace tessaly
