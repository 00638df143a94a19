#pragma once
// The desktop file manager's properties window for an item, asked for over D-Bus
// (org.freedesktop.FileManager1.ShowItemProperties).

#include <functional>
#include <string>

namespace tessaly {

// Asks the file manager to show the properties of path. Returns false at once when no file
// manager is there to ask (no session bus, the name neither owned nor activatable); otherwise the
// call is sent without waiting and unanswered runs later if it fails or times out.
bool AskFileManagerForProperties(const std::string& path, std::function<void()> unanswered);

}  // namespace tessaly
