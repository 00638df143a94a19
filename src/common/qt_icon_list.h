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
#include <vector>

#include "common/icons.h"

namespace tessaly {

class QtIconList final : public QObject, public IconList {
    Q_OBJECT

public:
    void clear() override;
    int count() const override { return int(entries_.size()); }
    int addForExtension(const std::string& extension) override;
    std::optional<int> addIconImage(const std::string& bytes, std::function<void()> undecodable) override;
    int addEmpty() override;
    // The icon of entry index once more, as the next entry.
    int addSameAs(int index);

    // Whether pictures are still being decoded for this list.
    bool decoding() const { return decoding_ > 0; }

    QIcon icon(int index) const
    {
        return index >= 0 && std::size_t(index) < entries_.size() ? pictures_[entries_[std::size_t(index)]] : QIcon();
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
    int add(std::uint32_t picture);

    // The pictures the list holds, each once: the empty one first, one per extension asked for,
    // one per icon file.
    std::vector<QIcon> pictures_{QIcon()};
    // Per entry, its picture: one per row of a scan, a hundred thousand and more, mostly the same
    // few, grown without copying what it holds.
    std::deque<std::uint32_t> entries_;
    std::uint64_t generation_ = 0;  // results for a list since cleared are dropped
    int decoding_ = 0;
    std::unordered_map<std::string, std::uint32_t> byExtension_;  // the pictures addForExtension has given
};

// Caps what decoding one picture may allocate, for every reader in the program (Qt's own limit is
// far above what the program ever shows): a picture whose size the decoder learns only on the way
// is given up at 64 MiB instead of taking gigabytes.
void LimitPictureDecoding();

// Makes the file-type icons of an installed icon theme available when the desktop names none.
void FindFileTypeIcons();
// Looks up a file-type icon or two at the given size, so that what is read only once for all of
// them (the type database, the theme's index) is read before the first items are shown.
void PrepareTypeIcons(QSize size);

// The application's own icon, from the resources.
QIcon ApplicationIcon();

}  // namespace tessaly
