#pragma once
// What the window reaches the system through. Services::defaults() gives the real platform layer
// (defined once per system, in platform/<system>/services.cpp); tests replace single members with
// fakes.

#include <memory>
#include <string>

namespace tessaly {

class FileSystem;
class FolderSystem;
class Dialogs;
class UrlOpener;
class Associations;
class Launcher;
class ShellPaths;
class WorkPlace;
class PropertiesSheet;
class ApplicationChooser;
class Shortcuts;

struct Services {
    std::shared_ptr<FileSystem> fs;
    std::shared_ptr<Dialogs> dialogs;
    std::shared_ptr<UrlOpener> urls;
    // The settings file; empty for the usual place (beside the executable, or in the user's
    // configuration folder when the executable's folder cannot be written).
    std::string settingsFile;
    // Opening items: associated programs, starting them, links, the work place, properties and
    // the open-with choice.
    std::shared_ptr<Associations> associations;
    std::shared_ptr<Launcher> launcher;
    std::shared_ptr<ShellPaths> shellPaths;
    std::shared_ptr<WorkPlace> workPlace;
    std::shared_ptr<PropertiesSheet> properties;
    std::shared_ptr<ApplicationChooser> applicationChooser;
    std::shared_ptr<FolderSystem> folders;  // folder listings for the scan
    std::shared_ptr<Shortcuts> shortcuts;   // the program's own shortcuts
    // The preview panes read on a thread of their own, through a file system of their own; when
    // unset they share fs.
    std::shared_ptr<FileSystem> previewFs;

    static Services defaults();
};

}  // namespace tessaly
