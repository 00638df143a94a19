#pragma once
// The log view paints its lines itself, so screen readers learn nothing of it from the toolkit.
// This gives it the toolkit's accessible text: all lines as one text, each line ended by "\n" but
// the last, with the view's selection and caret, line by line reading and the place of every
// character; and it tells assistive technology when lines arrive or the selection changes.

#include <QAccessibleWidget>

#include <utility>
#include <vector>

namespace tessaly {

class LogView;

class LogViewAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LogViewAccessible(LogView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    // Lines are cut from the view's own lines; other boundaries as the toolkit finds them.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // The offset of a place (line, column) in the whole text, and back.
    int offsetOf(std::pair<int, int> place) const;
    std::pair<int, int> placeOf(int offset) const;

private:
    LogView* view() const;
    // Brings the lines' offsets up to the lines the view holds (the log only grows at its end).
    void sync() const;
    int lineLength(int index) const { return starts_[std::size_t(index) + 1] - starts_[std::size_t(index)] - 1; }

    // Where each line starts in the whole text, and one more entry: where a line after the last
    // would start (the text's length plus one).
    mutable std::vector<int> starts_{0};
};

// Registers the factory that gives every log view its accessible text; once per process.
void InstallLogViewAccessibility();
// Tell assistive technology that lines from firstNewLine on have arrived, or that the selection
// and caret have changed. Nothing is done while no assistive technology listens.
void NotifyLogAppended(LogView* view, int firstNewLine);
void NotifyLogSelection(const LogView* view);

}  // namespace tessaly
