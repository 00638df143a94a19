// The Windows platform layer against Wine's real calls (windows_platform_check.cpp): one copy per
// logon with the window mark, a shortcut read back to the program, the settings beside it, argument
// quoting through the system's own parser, a file replaced and saved over in place, the work place.
// Under a virtual display, since the single-instance checks need windows.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/tempdir.h"

using namespace tessaly;

TEST(WindowsPlatformUnderWine, RealCallsDoWhatTheLayerPromises)
{
    constexpr const char* Wine = "/usr/lib/wine/wine64";
    if (::access(Wine, X_OK) != 0 || ::access("/usr/bin/xvfb-run", X_OK) != 0)
        GTEST_SKIP() << "Wine or xvfb-run is not installed (Debian wine64, xvfb)";
    if (::access(TESSALY_WINDOWS_CHECK, R_OK) != 0)
        GTEST_SKIP() << "the Windows build is missing (no cross compiler): " << TESSALY_WINDOWS_CHECK;
    test::TempDir dir;
    ::mkdir(dir.file("work").c_str(), 0700);
    test::ProcessOptions options;
    options.environment = {"WINEPREFIX=" + dir.file("prefix"), "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
    options.timeoutSeconds = 600;
    const auto result = test::RunProcess(
        {"/usr/bin/xvfb-run", "-a", Wine, TESSALY_WINDOWS_CHECK, "Z:" + dir.file("work")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("0 failed"), std::string::npos) << result.out;
}
