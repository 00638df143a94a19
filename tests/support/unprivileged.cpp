#include "support/unprivileged.h"

#include "support/process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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

    ProcessOptions options;
    options.folder = folder + "/home";
    options.unset = {"XDG_RUNTIME_DIR"};
    options.timeoutSeconds = 600;
    options.environment = {"HOME=" + folder + "/home",          "TMPDIR=" + folder + "/tmp",
                           "XDG_CONFIG_HOME=" + folder + "/config", "XDG_DATA_HOME=" + folder + "/data",
                           "XDG_CACHE_HOME=" + folder + "/cache", std::string(kMarker) + "=1"};
    std::vector<std::string> args = {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    args.insert(args.end(), argv.begin(), argv.end());
    const ProcessResult child = RunProcess(args, options);
    // A child that could not be started or did not exit by itself has no status to report.
    run.status = child.signalled ? -1 : child.exitCode;
    run.output = child.out + child.err;
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
