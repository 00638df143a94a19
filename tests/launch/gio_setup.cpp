#include "gio_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/tempdir.h"

namespace tessaly::test {

namespace {

GioDesktop desktop;

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    ::chmod(path.c_str(), mode);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string desktopEntry(const std::string& name, const std::string& exec, const std::string& types)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nMimeType=" + types +
           "\nIcon=text-x-generic\n";
}

}  // namespace

void MakeTestDesktop(const std::string& root, const std::vector<ExtraEntry>& extra)
{
    desktop.root = root;
    desktop.out = root + "/out";
    desktop.recorder = root + "/bin/record-args";
    std::filesystem::create_directories(desktop.out);
    // The content is copied before the argument list appears, so that waiting for the list is
    // waiting for both.
    writeFile(desktop.recorder,
              "#!/bin/sh\n"
              "out=\"$(dirname \"$0\")/../out\"\n"
              "if [ -f \"$1\" ]; then cat \"$1\" > \"$out/.content.$$\"; mv \"$out/.content.$$\" \"$out/content\"; fi\n"
              ": > \"$out/.args.$$\"\n"
              "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$out/.args.$$\"; done\n"
              "mv \"$out/.args.$$\" \"$out/args\"\n",
              0755);
    const std::string apps = root + "/data/applications/";
    writeFile(apps + "tessaly-test-viewer.desktop",
              desktopEntry("Test Viewer", desktop.recorder + " %f", "text/csv;"));
    writeFile(apps + "tessaly-test-editor.desktop",
              desktopEntry("Test Editor", desktop.recorder + " %f", "text/plain;text/csv;"));
    writeFile(apps + "tessaly-test-missing.desktop",
              desktopEntry("Missing", root + "/bin/not-there %f", "text/csv;"));
    std::string extraDefaults;
    for (const ExtraEntry& e : extra) {
        auto expand = [&](std::string text) {
            for (std::size_t at; (at = text.find("@BIN@")) != std::string::npos;)
                text.replace(at, 5, root + "/bin");
            return text;
        };
        writeFile(apps + e.id, desktopEntry(e.id, expand(e.exec), e.type + ";") + expand(e.lines));
        extraDefaults += e.type + "=" + e.id + "\n";
    }
    writeFile(root + "/config/mimeapps.list",
              "[Default Applications]\n" + extraDefaults +
              "text/csv=tessaly-test-viewer.desktop\n"
              "text/plain=tessaly-test-editor.desktop\n"
              "[Added Associations]\n"
              "text/csv=tessaly-test-viewer.desktop;tessaly-test-editor.desktop;tessaly-test-missing.desktop;\n"
              "text/plain=tessaly-test-editor.desktop;\n");
    // The system's MIME database, but not the machine's applications.
    std::filesystem::create_directories(root + "/sysdata");
    std::filesystem::create_directory_symlink("/usr/share/mime", root + "/sysdata/mime");
    std::filesystem::create_directories(root + "/sysconfig");
    std::filesystem::create_directories(root + "/runtime");
    ::chmod((root + "/runtime").c_str(), 0700);

    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (root + "/sysdata").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (root + "/sysconfig").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
    ::unsetenv("XDG_CURRENT_DESKTOP");
    // No file manager is asked anything over the user's session bus.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "/no-bus").c_str(), 1);
}

const GioDesktop& TestDesktop()
{
    return desktop;
}

bool WaitForRecorder(int timeoutMs)
{
    return WaitForFile(desktop.out + "/args", timeoutMs);
}

bool WaitForFile(const std::string& path, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::access(path.c_str(), F_OK) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string RecordedArgs()
{
    return readFile(desktop.out + "/args");
}

std::string RecordedContent()
{
    return readFile(desktop.out + "/content");
}

void ClearRecorder()
{
    ::unlink((desktop.out + "/args").c_str());
    ::unlink((desktop.out + "/content").c_str());
}

}  // namespace tessaly::test
