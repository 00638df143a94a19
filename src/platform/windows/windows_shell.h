#pragma once
// Opening items on Windows through the shell: ShellExecuteExW with the shell's result codes, the
// program associated with a name, "notepad.exe" and "mspaint.exe" for texts and pictures, the
// shell's open-with dialog, its properties sheet, shell links, and a work place in the user's
// temporary folder.
//
// An Application here is a program the shell starts by name or path; its entry, when not empty,
// is the parameter text that comes before the document, which then follows as the rest of the
// line as it is ("shell32.dll,OpenAs_RunDLL " for the open-with dialog). Without one the document
// is passed as one quoted argument.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/launch_system.h"
#include "platform/window_system.h"

namespace tessaly {

class ShellLauncher final : public Launcher {
public:
    LaunchResult launch(const std::string& verb, const std::string& file,
                        const std::vector<std::string>& parameters) override;
    LaunchResult openWith(const Application& application, const std::string& document) override;
    // Windows decides what runs by the name's extension, not by a mark on the file.
    bool executeBitMeansNothing(const std::string&) override { return false; }
};

class ShellAssociations final : public Associations {
public:
    Application findApplication(const std::string& path) override;
    Application applicationForName(const std::string& path) override;
    Application defaultApplicationForType(const std::string& contentType) override;
    std::string noAssociationMessage() override;
};

class WindowsShellPaths final : public ShellPaths {
public:
    std::string resolveShellLink(const std::string& path) override;
    std::string shellLinkArguments(const std::string& path) override;
    std::string longPathOf(const std::string& path) override;
    std::string absolutePath(const std::string& path) override;
};

// A folder "Tessaly" of the user's temporary folder (GetTempPathW), which only the user can enter.
class TempWorkPlace final : public WorkPlace {
public:
    Expected<std::string> folder() override;
    std::optional<SysError> clearEntry(const std::string& name) override;
    Expected<std::string> exportReadOnly(const std::string& name, std::string_view data) override;
};

class ShellPropertiesSheet final : public PropertiesSheet {
public:
    bool ShowPropertiesSheet(const std::string& path) override;
};

// The shell's own open-with dialog, which starts the chosen program itself: the choice is the
// program that shows it.
class ShellOpenWith final : public ApplicationChooser {
public:
    std::optional<Application> chooseApplication(const std::string& item) override;
};

// Opens a document or a web address with what the shell has for it (the help file, the home page).
LaunchResult ShellOpen(const std::string& target);

// One argument as the programs' command-line parsing reads it back (CommandLineToArgvW's rules):
// quoted when it holds a blank, tab or quote or is empty, with backslashes doubled before a quote.
std::string QuoteArgument(std::string_view argument);

// The shell's small icon for a file of this name, judged by the name alone (the file is never
// opened); nothing when the shell has none.
std::optional<IconPixels> SmallIconForName(const std::string& name);

}  // namespace tessaly
