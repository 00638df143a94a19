// The Windows window under Wine on a virtual display. Tessaly.exe itself: a second start with a
// file while the first copy is minimised (the box, the first copy restored and in front), the
// settings file beside the executable, a normal start after the first copy has ended. The window
// in one process (window_check): a file from the command line logged, the three shortcuts written
// and read back, a scan of a few thousand files. The programs that drive it are Windows programs
// of their own (tests/windows). TESSALY_WINDOW_PICTURES=DIR keeps pictures of the window there.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "support/process.h"
#include "support/tempdir.h"
#include "support/wine.h"

using namespace tessaly;
using test::Wine;
using test::WindowsPath;

namespace {

bool Copy(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return in && out.good();
}

}  // namespace

TEST(WindowsWindowUnderWine, SecondStartSettingsAndRestart)
{
    if (::access(Wine, X_OK) != 0 || ::access("/usr/bin/xvfb-run", X_OK) != 0)
        GTEST_SKIP() << "Wine or xvfb-run is not installed (Debian wine64, xvfb)";
    if (::access(TESSALY_WINDOWS_WINDOW, R_OK) != 0)
        GTEST_SKIP() << "the Windows window was not built: it needs the Qt for Windows that "
                        "tools/build_qt_windows.sh makes (30-45 minutes, once)";
    test::TempDir dir;
    const std::string prefix = dir.file("prefix");
    ASSERT_EQ(test::RunProcess({PROJECT_SOURCE_DIR "/tools/wine_prefix.sh", prefix}, {.timeoutSeconds = 300}).exitCode, 0);
    ::mkdir(dir.file("app").c_str(), 0700);
    const std::string exe = dir.file("app/Tessaly.exe");
    ASSERT_TRUE(Copy(TESSALY_WINDOWS_WINDOW, exe));
    const std::string file = dir.write("plain.txt", "plain");

    test::ProcessOptions options;
    options.environment = {"WINEPREFIX=" + prefix, "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=", "LANG=C.UTF-8"};
    options.timeoutSeconds = 600;
    const auto result = test::RunProcess({"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 1280x800x24", Wine,
                                          TESSALY_WINDOWS_SECOND_START, WindowsPath(exe), WindowsPath(file),
                                          std::string(InstanceKey)},
                                         options);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out.find("FAILED"), std::string::npos) << result.out;
    std::printf("%s", result.out.c_str());  // the steps and the start-up time, for the record

    ::mkdir(dir.file("work").c_str(), 0700);
    const char* pictures = std::getenv("TESSALY_WINDOW_PICTURES");
    std::vector<std::string> argv{"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 1280x800x24", Wine,
                                  TESSALY_WINDOWS_WINDOW_CHECK, WindowsPath(dir.file("work"))};
    if (pictures)
        argv.push_back(WindowsPath(pictures));
    const auto inProcess = test::RunProcess(argv, options);
    EXPECT_EQ(inProcess.exitCode, 0) << inProcess.out << inProcess.err;
    EXPECT_EQ(inProcess.out.find("FAILED"), std::string::npos) << inProcess.out;
}
