#pragma once
// Item views that list paths. Rows of one folder read the same up to their last names, so a row
// that is too wide keeps its end, where the file's or the stream's name is, and gives up the
// folders in the middle; its tooltip holds the whole path and the size.

#include <QStyledItemDelegate>

#include <cstdint>

class QFontMetrics;

namespace tessaly {

// text fitted into width pixels: as it is when it fits; otherwise its last name (from the last
// "/" or ":", or "\" in a path without "/") kept whole behind the text before it, elided in the middle; when the last name
// alone is too wide, the text cut at its start.
QString ElidePath(const QString& text, const QFontMetrics& metrics, int width);

// The tooltip of a listed item: the shown (escaped) path and the size with the locale's grouping.
QString PathToolTip(const QString& shownPath, std::uint64_t size);

class PathElideDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace tessaly
