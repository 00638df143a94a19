#pragma once
// The rules of the desktop integration that need no system: the names of the files that sit beside
// the executable, the user's XDG folders, the desktop entry that starts the program, the About
// text and the About box's background colours.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// path with the extension of its final component replaced by ext (ext appended when there is none;
// a leading dot of the name, as in ".profile", is no extension).
std::string ReplaceExtension(std::string_view path, std::string_view ext);
// The folder part of path ("/a/b" for "/a/b/c"; "/" for "/c").
std::string FolderOf(std::string_view path);
// The final component of path.
std::string FileNameOf(std::string_view path);

// An XDG base folder: the variable's value when it is an absolute path, otherwise home + "/" +
// fallback (relative values are invalid and ignored, as the base directory rules say).
std::string XdgBaseDir(std::string_view value, std::string_view home, std::string_view fallback);

// The settings file beside the executable, and its name inside the user's configuration folder
// (configHome + "/Tessaly/" + file name) for when the executable's folder cannot be written.
std::string SettingsFileBeside(std::string_view exePath);
std::string SettingsFileInConfig(std::string_view exePath, std::string_view configHome);

// Where the help file may be, best first: beside the executable with ".html", then where an
// installation puts it (shareRelative is that folder relative to the executable's folder).
std::vector<std::string> HelpFileCandidates(std::string_view exePath, std::string_view shareRelative);

// The file name of the program's desktop entry ("Tessaly.desktop").
std::string DesktopEntryFileName();
// A text as a desktop entry value: backslash, line breaks, tab and a leading blank escaped.
std::string DesktopEntryEscape(std::string_view text);
// One Exec argument: always double-quoted, with '"', '`', '$' and '\' escaped inside the quotes and
// '%' doubled, then escaped as a desktop entry value.
std::string DesktopEntryExecArgument(std::string_view argument);
// The entry that starts exePath (a file handed over, as by a drop on the icon, becomes its argument).
std::string DesktopEntryText(std::string_view name, std::string_view exePath, std::string_view icon);

// The About box's six lines: title + " " + version, the executable's path, an empty line, the
// copyright line, the e-mail address and the home page, joined by line breaks.
std::string AboutText(std::string_view exePath);

// A background of the About box: white to colour, left to right when the colour is odd, top to
// bottom when it is even. The colour holds red in the low byte, then green, then blue.
struct AboutGradient {
    std::uint32_t colour = 0;
    bool horizontal() const { return (colour & 1u) != 0; }
    int red() const { return int(colour & 0xFFu); }
    int green() const { return int(colour >> 8 & 0xFFu); }
    int blue() const { return int(colour >> 16 & 0xFFu); }
};
// A new colour from 0 to 0xFFFFFE (anything but pure white).
AboutGradient NextAboutGradient(std::mt19937& random);

}  // namespace tessaly
