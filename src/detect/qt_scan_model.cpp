#include "detect/qt_scan_model.h"

#include <cmath>
#include <string_view>

#include <QFile>
#include <QPainter>
#include <QPixmap>

#include "common/qt_icon_list.h"
#include "common/qt_path_delegate.h"
#include "common/qt_text.h"
#include "common/texts.h"

namespace tessaly {

namespace {


// Room around a cell's text (margins and the focus frame), and between the two small images.
constexpr int TextPadding = 16;
constexpr int ImageGap = 2;

}  // namespace

ScanResultModel::ScanResultModel(const ScanRows& rows, const QtIconList& icons, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), icons_(icons), metrics_(QFont())
{
    resetWidths();
}

int ScanResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int ScanResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ScanResultModel::cellText(const ScanRow& row, int column) const
{
    switch (column) {
    case 0:
        return shownText(row.caption);
    case 1:
        return QString::fromUtf8(row.size.data(), qsizetype(row.size.size()));
    default:
        return QString::fromUtf8(row.modified.data(), qsizetype(row.modified.size()));
    }
}

QIcon ScanResultModel::decoration(const ScanRow& row) const
{
    // The list draws one image per cell: the state image (parents only) and the row's own small
    // image are put side by side once per kind of icon, so children line up under their parent.
    const QIcon small = icons_.icon(row.image);
    const quint64 key = quint64(small.cacheKey()) * 2 + (row.isParent() ? 1 : 0);
    auto it = composed_.constFind(key);
    if (it != composed_.constEnd())
        return *it;
    const QSize size = decorationSize();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        const int side = size.height();
        if (row.isParent() && !stateImage_.isNull())
            stateImage_.paint(&painter, QRect(0, 0, side, side));
        if (!small.isNull())
            small.paint(&painter, QRect(side + ImageGap, 0, side, side));
    }
    QIcon icon(pixmap);
    composed_.insert(key, icon);
    return icon;
}

QVariant ScanResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown_)
        return {};
    const ScanRow& row = rows_[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(row, index.column());
    case Qt::DecorationRole:
        if (index.column() == 0)
            return decoration(row);
        return {};
    case Qt::ToolTipRole:
        if (index.column() == 0)
            return PathToolTip(cellText(row, 0), row.bytes);
        return {};
    case Qt::FontRole:
        if (index.row() == hotRow_)
            return hotFont_;
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == 1)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ScanResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        static const std::string_view captions[ColumnCount] = {texts::ColumnName, texts::ColumnSize,
                                                               texts::ColumnModified};
        return tr8(captions[section]);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(section == 1 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void ScanResultModel::iconChanged(int index)
{
    // The scan gives each row the icon of its own index.
    if (index >= 0 && index < shown_ && rows_[std::size_t(index)].image == index)
        Q_EMIT dataChanged(this->index(index, 0), this->index(index, 0), {Qt::DecorationRole});
}

void ScanResultModel::setHotRow(int row)
{
    if (row < 0 || row >= shown_)
        row = -1;
    if (row == hotRow_)
        return;
    const int old = hotRow_;
    hotRow_ = row;
    for (const int r : {old, row})
        if (r >= 0)
            emit dataChanged(index(r, 0), index(r, ColumnCount - 1), {Qt::FontRole});
}

void ScanResultModel::setFont(const QFont& font)
{
    hotFont_ = font;
    hotFont_.setUnderline(true);
    metrics_ = QFontMetrics(font);
    textWidths_ = TextWidths(font);
    resetWidths();
    for (int r = 0; r < shown_; ++r)
        for (int c = 0; c < ColumnCount; ++c)
            measure(cellText(rows_[std::size_t(r)], c), c);
    measured_ = shown_;
}

void ScanResultModel::resetWidths()
{
    parentWidth_.reset();
    for (int c = 0; c < ColumnCount; ++c)
        widths_[std::size_t(c)] = metrics_.horizontalAdvance(headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
}

int ScanResultModel::columnWidth(int column) const
{
    const int text = widths_.at(std::size_t(column)) + TextPadding;
    return column == 0 ? text + decorationSize().width() + 2 * ImageGap : text;
}

void ScanResultModel::measure(const QString& text, int column)
{
    int& widest = widths_[std::size_t(column)];
    widest = std::max(widest, textWidths_.width(text));
}

void ScanResultModel::measure(const std::string& bytes, const ScanRow& row, int column)
{
    const std::optional<qreal> width = textWidths_.asciiWidth(bytes);
    if (!width)
        return measure(cellText(row, column), column);
    int& widest = widths_[std::size_t(column)];
    widest = std::max(widest, int(std::ceil(*width)));
}

void ScanResultModel::measureCaption(const ScanRow& row)
{
    // A child's caption is its parent's, ":" and the stream's name: only the name is added to the
    // parent's width.
    std::string_view caption = row.caption;
    qreal base = 0;
    if (row.isParent()) {
        parentWidth_.reset();
    } else if (parentWidth_ && caption.size() > parentCaption_.size() && caption.starts_with(parentCaption_)) {
        base = *parentWidth_;
        caption.remove_prefix(parentCaption_.size());
    }
    const std::optional<qreal> width = textWidths_.asciiWidth(caption);
    if (!width)
        return measure(cellText(row, 0), 0);
    if (row.isParent()) {
        parentCaption_ = row.caption;
        parentWidth_ = *width;
    }
    int& widest = widths_[0];
    widest = std::max(widest, int(std::ceil(base + *width)));
}

void ScanResultModel::measureArrived()
{
    // Each new cell is measured once; the widest so far is kept per column.
    const int total = int(rows_.size());
    for (auto row = ScanRows::const_iterator(&rows_, std::size_t(measured_)); measured_ < total; ++measured_, ++row) {
        measureCaption(*row);
        measure(row->size, *row, 1);
        if (!row->modified.empty())
            measure(row->modified, *row, 2);
    }
}

bool ScanResultModel::sync()
{
    const int total = int(rows_.size());
    if (total <= shown_)
        return false;
    measureArrived();
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
    return true;
}

}  // namespace tessaly
