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
// The same for an error of either system, by its meaning.
std::int32_t LaunchCodeForError(const SysError& error);

// An application as the desktop knows it: the program that the log names, and the desktop entry
// that says how that program is started with a document (wrappers, field codes, a terminal). A
// program file that opens itself has no entry.
struct Application {
    std::string program;  // absolute path of the executable; empty when there is no application
    std::string entry;    // the desktop entry's file path or id; empty for a program file
    bool empty() const { return program.empty(); }
    bool operator==(const Application&) const = default;
};

// Starts programs and documents without waiting for them.
class Launcher {
public:
    virtual ~Launcher() = default;
    // verb empty: the default action (a program runs, a document opens in its program); "open"
    // (any letter case): open the file. Every parameter reaches the program as one argument of its
    // own, whatever blanks or quotation marks it holds. file is taken as the path it is: a name
    // without "/" is never looked up in the search path.
    virtual LaunchResult launch(const std::string& verb, const std::string& file,
                                const std::vector<std::string>& parameters) = 0;
    // Opens the document (an absolute path) with the application the way its desktop entry says;
    // the document is only ever an argument, never started itself. An application without an entry
    // is refused as having no association.
    virtual LaunchResult openWith(const Application& application, const std::string& document) = 0;
    // Whether the volume holding path marks every file executable whatever it holds (FAT and exFAT,
    // NTFS through FUSE, SMB shares), so that the execute bit says nothing about a file there.
    virtual bool executeBitMeansNothing(const std::string& path) = 0;
};

// Which program the desktop associates with a name.
class Associations {
public:
    virtual ~Associations() = default;
    // The application that opens the file at path, judged by its name; an executable program file
    // is its own program (without an entry). Empty when there is none.
    virtual Application findApplication(const std::string& path) = 0;
    // The application for an item judged by its name alone (the text after the last "/" or ":"),
    // whatever lies at path: for a stream, whose text may also name an unrelated file.
    virtual Application applicationForName(const std::string& path) = 0;
    // The default application for a content type ("text/plain"); empty when none.
    virtual Application defaultApplicationForType(const std::string& contentType) = 0;
    // The absolute path of findApplication's program.
    std::string findExecutable(const std::string& path) { return findApplication(path).program; }
    // The system's text for "no program is associated with this document".
    virtual std::string noAssociationMessage() = 0;
};

// Shell links and path forms.
class ShellPaths {
public:
    virtual ~ShellPaths() = default;
    // The path stored in the shell link file at path; empty when it cannot be read.
    virtual std::string resolveShellLink(const std::string& path) = 0;
    // The command-line arguments stored in the link; empty when it has none or cannot be read.
    virtual std::string shellLinkArguments(const std::string& path) = 0;
    // The long form of a path (systems without short names give it back unchanged).
    virtual std::string longPathOf(const std::string& path) = 0;
    // path made absolute against the current folder, its bytes otherwise unchanged: an item is
    // never handed over by a bare name that a program or the system could look up elsewhere.
    virtual std::string absolutePath(const std::string& path) = 0;
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
    // Writes data as a new read-only file name in the folder and returns its path.
    virtual Expected<std::string> exportReadOnly(const std::string& name, std::string_view data) = 0;

    // Copies of the items of one file go to a folder of their own (so that same-named streams of
    // two files never meet), ending with the path separator. The defaults use the one folder.
    virtual Expected<std::string> folderFor(const std::string& /*owner*/) { return folder(); }
    // Where a new copy called name of an item of owner goes: that name in folderFor(owner) when it
    // is free or holds a copy this work place made and nobody changed since (which is cleared);
    // otherwise a new name, " (2)", " (3)", ... before the extension. A file the user changed or
    // put there is never replaced.
    virtual Expected<std::string> placeFor(const std::string& /*owner*/, const std::string& name)
    {
        auto root = folder();
        if (!root)
            return root;
        if (auto error = clearEntry(name))
            return *error;
        return root.value() + name;
    }
    // Notes that the file at path (from placeFor) holds what was just copied there.
    virtual void remember(const std::string& /*path*/) {}
    // exportReadOnly into folderFor(owner), at the place placeFor gives.
    virtual Expected<std::string> exportFor(const std::string& /*owner*/, const std::string& name, std::string_view data)
    {
        return exportReadOnly(name, data);
    }
};

// Asks the person at the screen whether something that could harm them may start: a program or a
// link's target that came from a stream, from the Internet or from a volume where anything passes
// for a program.
class LaunchConsent {
public:
    virtual ~LaunchConsent() = default;
    // question: the whole text, every name in it already escaped. True only for an explicit yes.
    virtual bool allowStart(const std::string& question) = 0;
};

// Shows the desktop's properties of an item; false when it could not be shown.
class PropertiesSheet {
public:
    virtual ~PropertiesSheet() = default;
    virtual bool ShowPropertiesSheet(const std::string& path) = 0;
};

// Lets the user pick the application that opens an item; nothing when the choice was cancelled.
class ApplicationChooser {
public:
    virtual ~ApplicationChooser() = default;
    virtual std::optional<Application> chooseApplication(const std::string& item) = 0;
};

}  // namespace tessaly
