#pragma once
// An image list as the core sees it: one icon appended per node or row, addressed by index.

#include <functional>
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
    // Appends the picture of bytes read as a Windows icon file; nothing is appended when they are
    // plainly not one, or hold more than an icon may (IconFileFits). The picture may be decoded
    // later, off the caller's thread: the entry is empty until then, and stays empty, with
    // undecodable called once, when decoding fails after all.
    virtual std::optional<int> addIconImage(const std::string& bytes, std::function<void()> undecodable) = 0;
    // An entry without a picture, so that the one-icon-per-item rule holds.
    virtual int addEmpty() = 0;
};

}  // namespace tessaly
