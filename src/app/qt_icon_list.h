#pragma once
// An image list of QIcons: the desktop's icon for a file type by extension (never opening the
// item), or an item's own bytes decoded as a Windows icon.

#include <QHash>
#include <QIcon>
#include <QList>

#include <string>
#include <unordered_map>

#include "streams/icons.h"

namespace tessaly {

class QtIconList final : public IconList {
public:
    void clear() override { icons_.clear(); }
    int count() const override { return int(icons_.size()); }
    int addForExtension(const std::string& extension) override;
    std::optional<int> addIconImage(const std::string& bytes) override;
    int addEmpty() override;

    QIcon icon(int index) const { return index >= 0 && index < icons_.size() ? icons_[index] : QIcon(); }

    // The icon for a file type, shared by every list (the lookup is the costly part).
    static QIcon iconForExtension(const QString& extension);

private:
    QList<QIcon> icons_;
    std::unordered_map<std::string, QIcon> byExtension_;  // the icons addForExtension has given
};

// Makes the file-type icons of an installed icon theme available when the desktop names none.
void FindFileTypeIcons();

// The application's own icon, from the resources.
QIcon ApplicationIcon();

}  // namespace tessaly
