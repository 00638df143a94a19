#pragma once
// Start-up: one copy per user, and bringing the running copy's window forward when another start
// is refused.

#include <string>
#include <string_view>
#include <vector>

class QCoreApplication;
class QWidget;

namespace tessaly {

class Dialogs;
class InstanceGuard;

// Names the lock and the socket of the one-copy rule. It never changes, so that every version of
// the program sees every other.
inline constexpr std::string_view InstanceKey = "{41292D56-B4B7-430B-A7FF-C3BD30DF26EB}";

// Takes the one-copy lock. When another copy of this user runs: shows the "already running" box,
// asks that copy to come forward once the box is closed, and returns true; the program then ends
// with exit code 0, having created no window and written nothing. When the lock cannot be had at
// all, says why on stderr and lets this copy run.
bool RefuseSecondCopy(InstanceGuard& instance, Dialogs& dialogs);

// First copy: each later start brings window forward.
void ServeActivationRequests(InstanceGuard& instance, QWidget& window);

// The arguments after the program name, as the bytes the process was given. The toolkit is then
// started with the program name alone, so that none of its own options (-reverse, -style, ...) is
// taken from the command line: a file called "-reverse" is a file.
std::vector<std::string> RawArguments(int argc, char** argv);

// The current folder's path as bytes (UTF-8 on Windows); empty when it cannot be had (it was
// removed, say).
std::string CurrentFolder();

// Loads the toolkit's own Japanese texts (standard buttons, file dialogs and their questions), so
// that they read like the rest of the window. False when the translation is not installed.
bool LoadToolkitTranslation(QCoreApplication& app);

// Restores window from minimised, raises it and gives it the focus (as far as the desktop allows).
void BringToFront(QWidget& window);

}  // namespace tessaly
