#pragma once
// Which program the desktop associates with an item, through GIO: the content type guessed from
// the name, the default application for that type and the absolute path of its executable.

#include <string>
#include <vector>

#include "launch/launch_system.h"

namespace tessaly {

class GioAssociations final : public Associations {
public:
    Application findApplication(const std::string& path) override;
    Application applicationForName(const std::string& path) override;
    Application defaultApplicationForType(const std::string& contentType) override;
    std::string noAssociationMessage() override;
};

// One application that can open an item, as the open-with list shows it.
struct ApplicationEntry {
    std::string id;       // desktop entry id ("org.example.Viewer.desktop")
    std::string name;     // display name
    std::string program;  // absolute path of the executable
    std::string icon;     // icon as GIO serialises it: a theme name or a file path
};

// The applications GIO offers for the item at path (its type from the name and, for a readable
// regular file, its first bytes), the default first. Entries whose program is missing are left out.
std::vector<ApplicationEntry> ApplicationsForItem(const std::string& path);

// The system's text for a document that no program is registered for, in the user's language.
std::string NoAssociationText();

// Whether the regular file at path is a program the kernel can start on its own: executable for
// the user and beginning with an ELF header or a "#!" line. A document that merely carries the
// executable bit (as every file on some mounted volumes does) is not.
bool IsProgramFile(const std::string& path);

}  // namespace tessaly
