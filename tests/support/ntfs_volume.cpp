#include "support/ntfs_volume.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace tessaly::test {

namespace {

constexpr long FuseSuperMagic = 0x65735546;
constexpr auto PollStep = std::chrono::milliseconds(10);
constexpr auto MountTimeout = std::chrono::seconds(60);  // against a mount that hangs, not a slow one

bool onPath(const std::string& program)
{
    for (const char* folder : {"/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/local/sbin", "/usr/local/bin"})
        if (::access((std::string(folder) + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// Starts a program without a shell, its output going to logFile. The process id, or -1.
pid_t spawn(const std::vector<std::string>& args, const std::string& logFile)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int waitExit(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string contents(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isFuseMount(const std::string& folder)
{
    struct statfs sf {};
    return ::statfs(folder.c_str(), &sf) == 0 && long(sf.f_type) == FuseSuperMagic;
}

}  // namespace

std::string NtfsVolume::unavailableReason()
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse is missing or not usable by this user, so no NTFS volume can be mounted";
    if (!onPath("mkntfs"))
        return "mkntfs is not installed (Debian package ntfs-3g)";
    if (!onPath("ntfs-3g"))
        return "ntfs-3g is not installed (Debian package ntfs-3g)";
    return {};
}

NtfsVolume::NtfsVolume(const std::string& folder)
    : image_(folder + "/ntfs.img"), mountPoint_(folder + "/ntfs"), log_(folder + "/ntfs.log")
{
    ::mkdir(mountPoint_.c_str(), 0755);
}

NtfsVolume::~NtfsVolume()
{
    unmount();
}

std::string NtfsVolume::format(std::uint64_t bytes)
{
    {
        std::ofstream image(image_, std::ios::binary | std::ios::trunc);
    }
    if (::truncate(image_.c_str(), off_t(bytes)) != 0)
        return std::string("cannot size the image: ") + std::strerror(errno);
    const pid_t pid = spawn({"mkntfs", "-F", "-f", "-q", image_}, log_);
    if (pid < 0 || waitExit(pid) != 0)
        return "mkntfs failed: " + contents(log_);
    return {};
}

std::string NtfsVolume::mount(const std::string& options)
{
    unmount();
    // In the foreground, so that unmounting can wait for the very process that writes the image.
    std::string all = "no_detach";
    if (!options.empty())
        all += "," + options;
    std::ofstream(log_, std::ios::trunc).close();
    daemon_ = spawn({"ntfs-3g", "-o", all, image_, mountPoint_}, log_);
    if (daemon_ < 0)
        return "ntfs-3g could not be started";
    const auto deadline = std::chrono::steady_clock::now() + MountTimeout;
    while (!isFuseMount(mountPoint_)) {
        int status = 0;
        if (::waitpid(daemon_, &status, WNOHANG) == daemon_) {
            daemon_ = -1;
            return "ntfs-3g did not mount the image (not root, or FUSE refused?): " + contents(log_);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            unmount();
            return "ntfs-3g did not mount the image in time: " + contents(log_);
        }
        std::this_thread::sleep_for(PollStep);
    }
    return {};
}

void NtfsVolume::unmount()
{
    if (daemon_ <= 0)
        return;
    if (isFuseMount(mountPoint_) && ::umount2(mountPoint_.c_str(), 0) != 0)
        ::umount2(mountPoint_.c_str(), MNT_DETACH);
    // ntfs-3g writes the volume back and exits once the mount is gone.
    const auto deadline = std::chrono::steady_clock::now() + MountTimeout;
    int status = 0;
    while (::waitpid(daemon_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(daemon_, SIGKILL);
            ::waitpid(daemon_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(PollStep);
    }
    daemon_ = -1;
}

}  // namespace tessaly::test
