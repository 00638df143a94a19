#include "common/qt_log_view_accessible.h"

#include <QScrollBar>

#include <algorithm>

#include "common/qt_log_view.h"
#include "common/qt_text.h"
#include "common/texts.h"

namespace tessaly {

LogViewAccessible::LogViewAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

LogView* LogViewAccessible::view() const
{
    return static_cast<LogView*>(widget());
}

void* LogViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString LogViewAccessible::text(QAccessible::Text kind) const
{
    // The value would be the whole log: a reader asks for it through the text interface instead.
    if (kind == QAccessible::Name && view()->accessibleName().isEmpty())
        return tr8(texts::TabLog);
    if (kind == QAccessible::Value)
        return {};
    return QAccessibleWidget::text(kind);
}

QAccessible::State LogViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

void LogViewAccessible::sync() const
{
    const LogView* log = view();
    const int count = log->lineCount();
    if (count < int(starts_.size()) - 1)
        starts_.assign(1, 0);  // cleared
    starts_.reserve(std::size_t(count) + 1);
    for (int i = int(starts_.size()) - 1; i < count; ++i)
        starts_.push_back(starts_.back() + int(log->line(i).size()) + 1);
}

int LogViewAccessible::characterCount() const
{
    sync();
    return std::max(0, starts_.back() - 1);
}

int LogViewAccessible::offsetOf(std::pair<int, int> place) const
{
    sync();
    if (starts_.size() < 2)
        return 0;
    const int index = std::clamp(place.first, 0, int(starts_.size()) - 2);
    return starts_[std::size_t(index)] + std::clamp(place.second, 0, lineLength(index));
}

std::pair<int, int> LogViewAccessible::placeOf(int offset) const
{
    sync();
    if (starts_.size() < 2)
        return {0, 0};
    offset = std::clamp(offset, 0, characterCount());
    const int index = int(std::upper_bound(starts_.begin(), starts_.end() - 1, offset) - starts_.begin()) - 1;
    return {index, std::min(offset - starts_[std::size_t(index)], lineLength(index))};
}

void LogViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection())
        return;
    const int a = offsetOf(view()->anchorPlace());
    const int c = offsetOf(view()->caretPlace());
    *startOffset = std::min(a, c);
    *endOffset = std::max(a, c);
}

int LogViewAccessible::selectionCount() const
{
    return view()->hasSelection() ? 1 : 0;
}

void LogViewAccessible::addSelection(int startOffset, int endOffset)
{
    // One selection only: a new one takes the place of the old.
    setSelection(0, startOffset, endOffset);
}

void LogViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setSelection(view()->caretPlace(), view()->caretPlace());
}

void LogViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setSelection(placeOf(startOffset), placeOf(endOffset));
}

int LogViewAccessible::cursorPosition() const
{
    return offsetOf(view()->caretPlace());
}

void LogViewAccessible::setCursorPosition(int position)
{
    view()->setSelection(placeOf(position), placeOf(position));
}

QString LogViewAccessible::text(int startOffset, int endOffset) const
{
    const int count = characterCount();
    startOffset = std::clamp(startOffset, 0, count);
    endOffset = std::clamp(endOffset, startOffset, count);
    if (startOffset == endOffset)
        return {};
    const auto [first, firstColumn] = placeOf(startOffset);
    const auto [last, lastColumn] = placeOf(endOffset);
    QString out;
    for (int i = first; i <= last; ++i) {
        const QString line = view()->line(i);
        const int begin = i == first ? firstColumn : 0;
        const int end = i == last ? lastColumn : int(line.size());
        out += line.mid(begin, end - begin);
        if (i < last)
            out += QLatin1Char('\n');
    }
    return out;
}

QString LogViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                                        int* endOffset) const
{
    if (boundary != QAccessible::LineBoundary)
        return QAccessibleTextInterface::textAtOffset(offset, boundary, startOffset, endOffset);
    *startOffset = *endOffset = -1;
    if (characterCount() == 0 && view()->lineCount() == 0)
        return {};
    const int index = placeOf(offset).first;
    *startOffset = starts_[std::size_t(index)];
    *endOffset = *startOffset + lineLength(index);
    return view()->line(index);
}

QRect LogViewAccessible::characterRect(int offset) const
{
    const auto [line, column] = placeOf(offset);
    const QRect rect = view()->placeRect(line, column);
    return {view()->viewport()->mapToGlobal(rect.topLeft()), rect.size()};
}

int LogViewAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint at = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(at))
        return -1;
    return offsetOf(view()->placeAtPoint(at));
}

void LogViewAccessible::scrollToSubstring(int startIndex, int)
{
    view()->scrollToLine(placeOf(startIndex).first);
}

QString LogViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    // One font and colour throughout.
    *startOffset = 0;
    *endOffset = std::max(characterCount(), offset);
    return {};
}

namespace {

QAccessibleInterface* logViewFactory(const QString&, QObject* object)
{
    if (auto* view = qobject_cast<LogView*>(object))
        return new LogViewAccessible(view);
    return nullptr;
}

LogViewAccessible* accessibleOf(const LogView* view)
{
    if (!QAccessible::isActive())
        return nullptr;
    return dynamic_cast<LogViewAccessible*>(QAccessible::queryAccessibleInterface(const_cast<LogView*>(view)));
}

}  // namespace

void InstallLogViewAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(logViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void NotifyLogAppended(LogView* view, int firstNewLine)
{
    LogViewAccessible* accessible = accessibleOf(view);
    if (!accessible || firstNewLine >= view->lineCount())
        return;
    // The new lines come after the break that now ends the line before them.
    const int position = firstNewLine == 0 ? 0 : accessible->offsetOf({firstNewLine - 1, int(view->line(firstNewLine - 1).size())});
    QString text;
    for (int i = firstNewLine; i < view->lineCount(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += view->line(i);
    }
    QAccessibleTextInsertEvent event(view, position, text);
    QAccessible::updateAccessibility(&event);
}

void NotifyLogSelection(const LogView* view)
{
    LogViewAccessible* accessible = accessibleOf(view);
    if (!accessible)
        return;
    int start = 0, end = 0;
    accessible->selection(0, &start, &end);
    QAccessibleTextSelectionEvent selection(const_cast<LogView*>(view), start, end);
    QAccessible::updateAccessibility(&selection);
    QAccessibleTextCursorEvent cursor(const_cast<LogView*>(view), accessible->cursorPosition());
    QAccessible::updateAccessibility(&cursor);
}

}  // namespace tessaly
