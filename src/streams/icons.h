#pragma once
// An image list as the core sees it: one icon appended per node or row, addressed by index.

#include <optional>
#include <string>

namespace tessaly {

class IconList {
public:
    virtual ~IconList() = default;
    virtual void clear() = 0;
    virtual int count() const = 0;
    // The desktop's small icon for a file type known only by its extension ("" for none).
    virtual int addForExtension(const std::string& extension) = 0;
    // Decodes bytes as a Windows icon file; nothing is appended when they are not one.
    virtual std::optional<int> addIconImage(const std::string& bytes) = 0;
    // An entry without a picture, so that the one-icon-per-item rule holds.
    virtual int addEmpty() = 0;
};

}  // namespace tessaly
