#pragma once
// Starting programs and documents on Linux: a program is started detached, with an argument vector
// and no shell in between; a document (and the verb "open" on anything that is not a program)
// goes to the default application for its content type through GIO, and a document opened with an
// application (or with a desktop entry file chosen as the program) goes through that desktop entry.

#include "launch/launch_system.h"

typedef struct _GAppInfo GAppInfo;

namespace tessaly {

class LinuxLauncher final : public Launcher {
public:
    LaunchResult launch(const std::string& verb, const std::string& file,
                        const std::vector<std::string>& parameters) override;
    LaunchResult openWith(const Application& application, const std::string& document) override;
    bool executeBitMeansNothing(const std::string& path) override;
};

// Whether a file system of this type (as /proc/self/mountinfo names it: "vfat", "fuseblk",
// "fuse.ntfs-3g", "cifs", ...) marks every file executable.
bool ExecutableWhateverItHolds(const std::string& fileSystemType);

// Starts program (an absolute path) with the arguments, detached from this process: it is not a
// child of ours, so nothing waits for it and it leaves no zombie. Reports the error of the start
// itself (exec's errno), read back through a pipe that closes on a successful exec.
LaunchResult SpawnDetached(const std::string& program, const std::vector<std::string>& arguments);

// Launches the application's desktop entry with the documents (paths) as its files.
LaunchResult LaunchEntry(GAppInfo* app, const std::vector<std::string>& documents);

// Opens the file at path with the default application for its content type.
LaunchResult OpenWithDefaultApplication(const std::string& path);

}  // namespace tessaly
