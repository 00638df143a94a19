#pragma once
// An image list of QIcons: the desktop's icon for a file type by extension (never opening the
// item), or an item's own bytes decoded as a Windows icon. Icon files are decoded on a thread of
// their own, so that no icon file, however crafted, holds up the window; the entry is filled in
// when its picture is ready.

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

#include "common/icons.h"

namespace tessaly {

class QtIconList final : public QObject, public IconList {
    Q_OBJECT

public:
    void clear() override;
    int count() const override { return int(icons_.size()); }
    int addForExtension(const std::string& extension) override;
    std::optional<int> addIconImage(const std::string& bytes, std::function<void()> undecodable) override;
    int addEmpty() override;
    // The icon of entry index once more, as the next entry.
    int addSameAs(int index);

    // Whether pictures are still being decoded for this list.
    bool decoding() const { return decoding_ > 0; }

    QIcon icon(int index) const
    {
        return index >= 0 && std::size_t(index) < icons_.size() ? icons_[std::size_t(index)] : QIcon();
    }

    // The icon for a file type, shared by every list (the lookup is the costly part).
    static QIcon iconForExtension(const QString& extension);

Q_SIGNALS:
    // Entry index now holds its decoded picture.
    void iconChanged(int index);
    // Every picture asked for so far is done.
    void decoded();

private:
    void finishDecoding();

    // One per row of a scan, a hundred thousand and more: grown without copying what it holds.
    std::deque<QIcon> icons_;
    std::uint64_t generation_ = 0;  // results for a list since cleared are dropped
    int decoding_ = 0;
    std::unordered_map<std::string, QIcon> byExtension_;  // the icons addForExtension has given
};

// Caps what decoding one picture may allocate, for every reader in the program (Qt's own limit is
// far above what the program ever shows): a picture whose size the decoder learns only on the way
// is given up at 64 MiB instead of taking gigabytes.
void LimitPictureDecoding();

// Makes the file-type icons of an installed icon theme available when the desktop names none.
void FindFileTypeIcons();

// The application's own icon, from the resources.
QIcon ApplicationIcon();

}  // namespace tessaly
