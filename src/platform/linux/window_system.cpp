// The window's system services on Linux: the one-copy lock, the settings file's place, launchers
// written as desktop entries, the clean-up of killed saves and the display check.

#include "platform/window_system.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/texts.h"
#include "desktop/desktop_rules.h"
#include "platform/linux/own_file.h"
#include "platform/linux/unfinished.h"

namespace tessaly {

namespace {

std::string bytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString text(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string home()
{
    return bytes(QDir::homePath());
}

std::string launcherFolder(Shortcuts::Place place)
{
    switch (place) {
    case Shortcuts::Place::Desktop:
        // Follows the user's folder names (user-dirs.dirs), as xdg-user-dir DESKTOP does.
        return bytes(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    case Shortcuts::Place::Programs:
        return XdgBaseDir(qgetenv("XDG_DATA_HOME").toStdString(), home(), ".local/share") + "/applications";
    case Shortcuts::Place::Startup:
        return XdgBaseDir(qgetenv("XDG_CONFIG_HOME").toStdString(), home(), ".config") + "/autostart";
    }
    return {};
}

// Launchers are desktop entries, written whole under a hidden name and renamed into place, so that
// an earlier one (or a symbolic link found there) is replaced in one step and never written through.
class DesktopEntryShortcuts final : public Shortcuts {
public:
    Written write(Place place, const std::string& exePath, const std::string& icon) override
    {
        const std::string folder = launcherFolder(place);
        Written written{bytes(QDir::cleanPath(text(folder) + QLatin1Char('/') + text(DesktopEntryFileName()))), {}};
        if (folder.empty()) {
            written.error = SysError{ENOENT, std::strerror(ENOENT)};  // no home folder to put it in
            return written;
        }
        if (!QDir().mkpath(text(folder))) {
            const int code = errno;
            written.error = SysError{code, folder + ": " + std::strerror(code)};
            return written;
        }
        const std::string entry = DesktopEntryText(texts::ApplicationTitle, exePath, icon);
        // Desktops start a launcher lying on the desktop only when it is marked executable.
        written.error = ReplaceWithOwnFile(written.path, entry, place == Place::Desktop ? 0766 : 0666);
        return written;
    }
};

}  // namespace

std::shared_ptr<Shortcuts> MakeShortcuts()
{
    return std::make_shared<DesktopEntryShortcuts>();
}

std::string ExecutablePath()
{
    return bytes(QCoreApplication::applicationFilePath());
}

void LowerThreadPriority()
{
    // Five steps of niceness below the process's main thread; threads this one starts inherit it.
    // A thread may always lower its own priority, so a failure leaves things only as they were.
    errno = 0;
    const int process = ::getpriority(PRIO_PROCESS, ::getpid());
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), std::min(process + 5, 19));
}

std::string SettingsFileFor(const std::string& exePath)
{
    if (QFileInfo(text(FolderOf(exePath))).isWritable())
        return SettingsFileBeside(exePath);
    return SettingsFileInConfig(exePath, XdgBaseDir(qgetenv("XDG_CONFIG_HOME").toStdString(), home(), ".config"));
}

void CleanUpAtStart()
{
    CleanUnfinishedWrites();
}

std::optional<IconPixels> SystemSmallIcon(const std::string&)
{
    return std::nullopt;
}

bool DisplayAvailable(const char* programName)
{
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM"))
        return true;
    // Without a display the toolkit would only print a cryptic plugin error: say what to do instead.
    std::fprintf(stderr,
                 "Tessaly needs a graphical display, and none was found (DISPLAY and WAYLAND_DISPLAY are unset).\n"
                 "On a machine without a screen, start it under a virtual display:\n"
                 "    xvfb-run -a %s [file]\n",
                 programName);
    return false;
}

}  // namespace tessaly
