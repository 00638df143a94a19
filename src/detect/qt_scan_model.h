#pragma once
// The result list's model over the scan's rows. Rows reach the view in batches (sync), and the
// width each column needs is tracked as rows arrive, measuring every cell once, so a list of a
// hundred thousand rows neither re-measures old rows nor inserts them one by one.

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHash>
#include <QIcon>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/qt_text_width.h"
#include "detect/scan.h"

namespace tessaly {

class QtIconList;

class ScanResultModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int ColumnCount = 3;

    ScanResultModel(const ScanRows& rows, const QtIconList& icons, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The state image of parent rows (the application's icon) and the size of one small image.
    void setStateImage(const QIcon& icon) { stateImage_ = icon; }
    static QSize decorationSize() { return {34, 16}; }
    // The font the view draws with; widths are measured in it.
    void setFont(const QFont& font);

    // The row under the mouse, drawn underlined; -1 for none. Only the rows that change are redrawn.
    void setHotRow(int row);
    int hotRow() const { return hotRow_; }

    // Redraws the rows whose small image is icon index, decoded after they were shown.
    void iconChanged(int index);
    // Measures the rows appended to the scan's list as they arrive, so that showing them later
    // costs no more than the insertion.
    void measureArrived();
    // Shows the rows appended to the scan's list since the last call; true when there were any.
    bool sync();
    // Forgets every row; emptyRows empties the scan's list while the views are told of the reset.
    template <class F>
    void clear(F emptyRows)
    {
        beginResetModel();
        emptyRows();
        shown_ = 0;
        measured_ = 0;
        hotRow_ = -1;
        resetWidths();
        endResetModel();
    }

    // The width each column needs for its widest text so far (header included), with the room
    // around the text and, in the first column, the images.
    int columnWidth(int column) const;

private:
    QString cellText(const ScanRow& row, int column) const;
    QIcon decoration(const ScanRow& row) const;
    void resetWidths();
    void measure(const QString& text, int column);
    // The same for a cell's bytes, without making a string of them when they are plain ASCII.
    void measure(const std::string& bytes, const ScanRow& row, int column);
    // The first column, a child's from its parent's width.
    void measureCaption(const ScanRow& row);

    const ScanRows& rows_;
    const QtIconList& icons_;
    int shown_ = 0;
    int measured_ = 0;  // rows whose cells have been measured; at least shown_
    int hotRow_ = -1;
    QFont hotFont_;  // the view's font, underlined
    QIcon stateImage_;
    QFontMetrics metrics_;
    std::array<int, ColumnCount> widths_{};
    TextWidths textWidths_;  // of cells, as they arrive
    std::string parentCaption_;            // the last parent row measured, and its width
    std::optional<qreal> parentWidth_;
    mutable QHash<quint64, QIcon> composed_;  // state image and small image side by side
};

}  // namespace tessaly
