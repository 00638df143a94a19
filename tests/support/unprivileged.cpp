#include "support/unprivileged.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace tessaly::test {

namespace {

constexpr const char* kMarker = "TESSALY_TEST_UNPRIVILEGED";
constexpr const char* kSetpriv = "/usr/bin/setpriv";

std::string MakeChildFolder()
{
    // Under /tmp, not TMPDIR: the folder must be reachable by the unprivileged id, and a TMPDIR of
    // root's own may not be.
    std::string templ = "/tmp/tessaly-unprivileged-XXXXXX";
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    ::chmod(templ.c_str(), 0755);
    for (const char* sub : {"/home", "/tmp", "/config", "/data", "/cache", "/bin"})
        std::filesystem::create_directories(templ + sub);
    return templ;
}

}  // namespace

bool RunningUnprivileged()
{
    return std::getenv(kMarker) != nullptr && ::geteuid() == kUnprivilegedId;
}

void GiveToUnprivileged(const std::string& path)
{
    std::error_code ec;
    if (::lchown(path.c_str(), kUnprivilegedId, kUnprivilegedId) != 0)
        return;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ec)))
        return;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        (void)::lchown(it->path().c_str(), kUnprivilegedId, kUnprivilegedId);
}

ChildRun RunUnprivileged(std::vector<std::string> argv)
{
    ChildRun run;
    if (argv.empty() || ::access(kSetpriv, X_OK) != 0) {
        run.output = "setpriv (util-linux) is not installed";
        return run;
    }
    const std::string folder = MakeChildFolder();
    const std::string exe = folder + "/bin/" + std::filesystem::path(argv[0]).filename().string();
    std::filesystem::copy_file(argv[0], exe);
    ::chmod(exe.c_str(), 0755);
    argv[0] = exe;
    GiveToUnprivileged(folder);

    std::vector<std::string> env;
    const char* replaced[] = {"HOME=", "TMPDIR=", "XDG_RUNTIME_DIR=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME=",
                              "XDG_CACHE_HOME=", "TESSALY_TEST_UNPRIVILEGED="};
    for (char** e = environ; *e; ++e) {
        bool keep = true;
        for (const char* r : replaced)
            keep = keep && std::strncmp(*e, r, std::strlen(r)) != 0;
        if (keep)
            env.emplace_back(*e);
    }
    env.push_back("HOME=" + folder + "/home");
    env.push_back("TMPDIR=" + folder + "/tmp");
    env.push_back("XDG_CONFIG_HOME=" + folder + "/config");
    env.push_back("XDG_DATA_HOME=" + folder + "/data");
    env.push_back("XDG_CACHE_HOME=" + folder + "/cache");
    env.push_back(std::string(kMarker) + "=1");

    std::vector<std::string> args = {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> cargs, cenv;
    for (auto& a : args)
        cargs.push_back(a.data());
    cargs.push_back(nullptr);
    for (auto& e : env)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        if (::chdir((folder + "/home").c_str()) != 0)
            ::_exit(126);
        ::execve(kSetpriv, cargs.data(), cenv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        run.output.append(buf, std::size_t(n));
    }
    ::close(out[0]);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return run;
}

bool RerunThisTestUnprivileged()
{
    if (::geteuid() != 0 || RunningUnprivileged())
        return false;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    const ChildRun run = RunUnprivileged({std::filesystem::read_symlink("/proc/self/exe").string(), filter});
    if (run.status == -1)
        [&] { GTEST_SKIP() << "cannot drop privileges for this case: " << run.output; }();
    else if (run.output.find("[  SKIPPED ] 1 test") != std::string::npos)
        [&] { GTEST_SKIP() << "skipped as an ordinary user:\n" << run.output; }();
    else
        EXPECT_EQ(run.status, 0) << "as an ordinary user (uid 65534):\n" << run.output;
    return true;
}

}  // namespace tessaly::test
