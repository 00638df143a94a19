#include "platform/linux/launcher.h"

#include <gio/gio.h>
#include <gio/gdesktopappinfo.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/linux/associations.h"
#include "platform/linux/fd.h"

namespace tessaly {

namespace {

LaunchResult failure(int code)
{
    return {LaunchCodeForError(code), std::uint32_t(code), std::strerror(code)};
}

LaunchResult success()
{
    return {LaunchSucceeded, 0, std::strerror(0)};
}

LaunchResult noAssociation()
{
    return {LaunchNoAssociation, NoAssociationError, NoAssociationText()};
}

int errnoForSpawnError(const GError* error)
{
    if (!error || error->domain != G_SPAWN_ERROR)
        return 0;
    switch (error->code) {
    case G_SPAWN_ERROR_NOENT: return ENOENT;
    case G_SPAWN_ERROR_ACCES: return EACCES;
    case G_SPAWN_ERROR_PERM: return EPERM;
    case G_SPAWN_ERROR_NOEXEC: return ENOEXEC;
    case G_SPAWN_ERROR_NOMEM: return ENOMEM;
    default: return 0;
    }
}

bool sameLetters(const std::string& a, const char* b)
{
    return ::strcasecmp(a.c_str(), b) == 0;
}

}  // namespace

LaunchResult LinuxLauncher::launch(const std::string& verb, const std::string& file,
                                   const std::vector<std::string>& parameters)
{
    if (!verb.empty() && !sameLetters(verb, "open"))
        return noAssociation();
    if (file.empty())
        return failure(ENOENT);
    // The path as it is: a bare name means a file in the current folder, never one found in PATH.
    const std::string& path = file;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failure(errno);
    if (IsProgramFile(path))
        return SpawnDetached(path, parameters);
    // A desktop entry chosen as the program for files starts the way its Exec line says.
    if (!parameters.empty() && path.ends_with(".desktop"))
        if (g_autoptr(GDesktopAppInfo) entry = g_desktop_app_info_new_from_filename(path.c_str()))
            return LaunchEntry(G_APP_INFO(entry), parameters);
    // A document: the parameters mean nothing to it, as for the shell's default action.
    return OpenWithDefaultApplication(path);
}

bool ExecutableWhateverItHolds(const std::string& type)
{
    // Windows file systems have no execute bit: their drivers give it to every file. A FUSE
    // volume that names no subtype is one mounted by ntfs-3g from an image or by an older driver.
    static const char* const windowsTypes[] = {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "cifs", "smb3", "smbfs",
                                               "fuseblk", "fuse"};
    for (const char* t : windowsTypes)
        if (type == t)
            return true;
    if (type.rfind("fuse.", 0) != 0)
        return false;
    const std::string sub = type.substr(5);
    for (const char* part : {"ntfs", "fat", "smb", "cifs"})
        if (sub.find(part) != std::string::npos)
            return true;
    return false;
}

bool LinuxLauncher::executeBitMeansNothing(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    // The mount whose device is the file's: its line reads
    // "id parent major:minor root point options [tags...] - type source super-options".
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string device = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, dev;
        fields >> id >> parent >> dev;
        if (dev != device)
            continue;
        const auto dash = line.find(" - ");
        if (dash == std::string::npos)
            continue;
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type;
        return ExecutableWhateverItHolds(type);
    }
    return false;
}

LaunchResult SpawnDetached(const std::string& program, const std::vector<std::string>& arguments)
{
    // Everything the child needs is prepared before the fork: after it, only calls that are safe
    // in a copy of a multi-threaded process are made.
    std::vector<std::string> strings;
    strings.reserve(arguments.size() + 1);
    strings.push_back(program);
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return failure(errno);
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    const pid_t child = ::fork();
    if (child < 0)
        return failure(errno);
    if (child == 0) {
        // The intermediate child: a new session, one more fork, and gone, so that the program is
        // adopted by init and never waited for by us.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int e = errno;
                (void)!::write(writeEnd.get(), &e, sizeof e);
            }
            ::_exit(0);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0 && devNull != STDIN_FILENO)
            ::dup2(devNull, STDIN_FILENO);
        ::execv(program.c_str(), argv.data());
        const int e = errno;
        (void)!::write(writeEnd.get(), &e, sizeof e);
        ::_exit(127);
    }
    writeEnd.reset();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int reported = 0;
    ssize_t got;
    do {
        got = ::read(readEnd.get(), &reported, sizeof reported);
    } while (got < 0 && errno == EINTR);
    if (got == ssize_t(sizeof reported))
        return failure(reported);
    return success();
}

LaunchResult LinuxLauncher::openWith(const Application& application, const std::string& document)
{
    if (application.entry.empty())
        return noAssociation();
    g_autoptr(GDesktopAppInfo) entry = application.entry.front() == '/'
                                           ? g_desktop_app_info_new_from_filename(application.entry.c_str())
                                           : g_desktop_app_info_new(application.entry.c_str());
    if (!entry)
        return noAssociation();
    return LaunchEntry(G_APP_INFO(entry), {document});
}

LaunchResult LaunchEntry(GAppInfo* app, const std::vector<std::string>& documents)
{
    struct FileListDeleter {
        void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
    };
    std::unique_ptr<GList, FileListDeleter> files;
    for (auto it = documents.rbegin(); it != documents.rend(); ++it)
        files.reset(g_list_prepend(files.release(), g_file_new_for_path(it->c_str())));
    g_autoptr(GError) error = nullptr;
    // GIO builds the command from the entry's Exec line (field codes, wrappers, a terminal for
    // Terminal=true) or asks a D-Bus activatable application to open the file itself.
    if (!g_app_info_launch(app, files.get(), nullptr, &error)) {
        const int code = errnoForSpawnError(error);
        return {code ? LaunchCodeForError(code) : LaunchFileNotFound, std::uint32_t(code),
                error ? std::string(error->message) : std::string()};
    }
    return success();
}

LaunchResult OpenWithDefaultApplication(const std::string& path)
{
    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    g_autoptr(GError) error = nullptr;
    g_autoptr(GFileInfo) info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                  G_FILE_QUERY_INFO_NONE, nullptr, &error);
    if (!info) {
        const int code = error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_PERMISSION_DENIED
                             ? EACCES
                             : ENOENT;
        return failure(code);
    }
    const char* type = g_file_info_get_content_type(info);
    if (!type)
        return noAssociation();
    g_autoptr(GAppInfo) app = g_app_info_get_default_for_type(type, FALSE);
    if (!app)
        return noAssociation();
    return LaunchEntry(app, {path});
}

}  // namespace tessaly
