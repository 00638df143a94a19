#pragma once
// The system services that opening an item needs: which program suits an item, starting a program
// or a document, reading shell links, and the private work place. The platform layer implements
// them; tests replace them with recording fakes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace tessaly {

// What a launch reports, in the convention of the shell: a code above 32 means the program was
// started; 2 file not found, 5 access denied, 31 no program for the document. lastError and
// message are the system's error code and text at that moment (errno on Linux).
struct LaunchResult {
    std::int32_t code = 0;
    std::uint32_t lastError = 0;
    std::string message;
};

inline constexpr std::int32_t LaunchSucceeded = 42;
inline constexpr std::int32_t LaunchFileNotFound = 2;
inline constexpr std::int32_t LaunchAccessDenied = 5;
inline constexpr std::int32_t LaunchNoAssociation = 31;
// The error code that goes with a document that no program is associated with.
inline constexpr std::uint32_t NoAssociationError = 1155;

// Maps a system error number to the launch code above (2 unless access was denied).
std::int32_t LaunchCodeForError(int errorNumber);

// Starts programs and documents without waiting for them.
class Launcher {
public:
    virtual ~Launcher() = default;
    // verb empty: the default action (a program runs, a document opens in its program); "open"
    // (any letter case): open the file. Every parameter reaches the program as one argument of its
    // own, whatever blanks or quotation marks it holds.
    virtual LaunchResult launch(const std::string& verb, const std::string& file,
                                const std::vector<std::string>& parameters) = 0;
};

// Which program the desktop associates with a name.
class Associations {
public:
    virtual ~Associations() = default;
    // The absolute path of the program that opens the item at path, judged by its name; an
    // executable file is its own program. Empty when there is none.
    virtual std::string findExecutable(const std::string& path) = 0;
    // The absolute path of the default program for a content type ("text/plain"); empty when none.
    virtual std::string defaultProgramForType(const std::string& contentType) = 0;
    // The system's text for "no program is associated with this document".
    virtual std::string noAssociationMessage() = 0;
};

// Shell links and path forms.
class ShellPaths {
public:
    virtual ~ShellPaths() = default;
    // The path stored in the shell link file at path; empty when it cannot be read.
    virtual std::string resolveShellLink(const std::string& path) = 0;
    // The long form of a path (systems without short names give it back unchanged).
    virtual std::string longPathOf(const std::string& path) = 0;
};

// A folder private to the user where copies of items are placed for programs to open.
class WorkPlace {
public:
    virtual ~WorkPlace() = default;
    // The folder, ending with the path separator; made (private) on first use.
    virtual Expected<std::string> folder() = 0;
    // Clears the entry name (a file or a symbolic link, never a folder) so that a copy written
    // there next creates a new file instead of writing through whatever was there.
    virtual std::optional<SysError> clearEntry(const std::string& name) = 0;
    // Lets the user run the file name (a copy of a program).
    virtual std::optional<SysError> makeExecutable(const std::string& name) = 0;
    // Writes data as a new read-only file name in the folder and returns its path.
    virtual Expected<std::string> exportReadOnly(const std::string& name, std::string_view data) = 0;
};

// Shows the desktop's properties of an item; false when it could not be shown.
class PropertiesSheet {
public:
    virtual ~PropertiesSheet() = default;
    virtual bool ShowPropertiesSheet(const std::string& path) = 0;
};

// Lets the user pick the program that opens an item; empty when the choice was cancelled.
class ApplicationChooser {
public:
    virtual ~ApplicationChooser() = default;
    virtual std::optional<std::string> chooseApplication(const std::string& item) = 0;
};

}  // namespace tessaly
