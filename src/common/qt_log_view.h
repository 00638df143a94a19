#pragma once
// The operation log's view: a read-only list of text lines that only ever grows at its end.
//
// A scan writes a line per result row, a hundred thousand and more; a text document would lay
// every one of them out and keep formats and blocks for each. This view shows the lines of a
// LogModel, follows its appends and lays out only the lines that are on screen. Lines are selected with the mouse (a range of characters,
// Shift+click extends it, a double click takes the whole line) or all at once with Ctrl+A, and
// copied with Ctrl+C or the context menu.

#include <QAbstractScrollArea>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/qt_text_width.h"

class QTextLayout;

namespace tessaly {

class LogModel;

class LogView final : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Shows model, or a model of its own when none is given.
    explicit LogView(LogModel* model = nullptr, QWidget* parent = nullptr);
    ~LogView() override;

    LogModel& model() const { return *model_; }
    // One line, or several separated by '\n' (no trailing one), in one go, through the model.
    void appendLines(std::string_view utf8);
    void clear();

    int lineCount() const;
    QString line(int index) const;
    // Every line, each followed by '\n' but the last.
    QString toPlainText() const;

    bool hasSelection() const { return anchor_ != caret_; }
    QString selectedText() const;
    void selectAll();
    void copy() const;
    // The newest line in view, shown from its start.
    void scrollToEnd();

    // For assistive technology: the ends of the selection as (line, column in the line's UTF-16
    // text), the selection set from two such places, a place's rectangle on the viewport and the
    // place at a point of it, and a line brought into view.
    std::pair<int, int> anchorPlace() const { return {anchor_.line, anchor_.column}; }
    std::pair<int, int> caretPlace() const { return {caret_.line, caret_.column}; }
    void setSelection(std::pair<int, int> anchor, std::pair<int, int> caret);
    QRect placeRect(int line, int column) const;
    std::pair<int, int> placeAtPoint(QPoint viewportPos) const;
    void scrollToLine(int line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // A place between two characters: the line and the offset in that line's UTF-16 text.
    struct Place {
        int line = 0;
        int column = 0;
        bool operator==(const Place&) const = default;
        auto operator<=>(const Place&) const = default;
    };

    void added(std::size_t firstNew, int widest);
    void cleared();
    void measure(const QString& text);
    void updateScrollBars();
    int lineHeight() const;
    int visibleLines() const;
    Place placeAt(QPoint viewportPos) const;
    void layOut(QTextLayout& layout, const QString& text) const;
    void selectTo(Place caret);
    void publishSelection() const;

    LogModel* model_ = nullptr;
    std::size_t longestBytes_ = 0;     // the longest line measured so far, in bytes
    int widest_ = 0;                   // the widest line measured so far, in pixels
    TextWidths textWidths_;            // of the lines as they arrive, in the view's font
    Place anchor_;                    // where the selection started
    Place caret_;                     // where it ends; equal to anchor_ when nothing is selected
    bool selecting_ = false;          // the left button is held down over the view
    // Lines added while the view was hidden: its scroll range waits until it is shown, and then
    // follows the end if it did before.
    bool behind_ = false;
    bool followOnShow_ = false;
};

}  // namespace tessaly
