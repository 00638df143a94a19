#pragma once
// What the window reaches the system through. Services::defaults() gives the real platform layer;
// tests replace single members with fakes.

#include <memory>
#include <string>

namespace tessaly {

class FileSystem;
class Dialogs;
class UrlOpener;

struct Services {
    std::shared_ptr<FileSystem> fs;
    std::shared_ptr<Dialogs> dialogs;
    std::shared_ptr<UrlOpener> urls;
    // The settings file; empty for the usual place (beside the executable, or in the user's
    // configuration folder when the executable's folder cannot be written).
    std::string settingsFile;

    static Services defaults();
};

}  // namespace tessaly
