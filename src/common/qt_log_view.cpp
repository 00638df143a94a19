#include "common/qt_log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaObject>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/qt_log_model.h"
#include "common/qt_log_view_accessible.h"
#include "common/qt_text.h"
#include "common/texts.h"

namespace tessaly {

namespace {

constexpr int Margin = 3;                        // blank space around the lines, in pixels

}  // namespace

LogView::LogView(LogModel* model, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model ? model : new LogModel(this)), textWidths_(font())
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    connect(model_, &LogModel::linesAdded, this, &LogView::added);
    connect(model_, &LogModel::cleared, this, &LogView::cleared);
    updateScrollBars();
    if (model_->lineCount() > 0)
        added(0, 0);
    InstallLogViewAccessibility();
}

LogView::~LogView() = default;

int LogView::lineCount() const
{
    return model_->lineCount();
}

QString LogView::line(int index) const
{
    return model_->line(index);
}

void LogView::appendLines(std::string_view utf8)
{
    model_->appendLines(utf8);
}

void LogView::added(std::size_t firstNew, int widest)
{
    // Only the batch's longest line is measured, and only when it is nearly as long as the longest
    // so far (a line of wide characters has fewer bytes for its width); the lines on screen are
    // measured as they are painted, so the horizontal range is never short of what can be seen.
    const std::size_t bytes = model_->lengthOf(widest);
    if (bytes > 0 && bytes * 4 >= longestBytes_ * 3) {
        longestBytes_ = std::max(longestBytes_, bytes);
        measure(model_->line(widest));
    }
    QScrollBar* bar = verticalScrollBar();
    if (!isVisible()) {
        // On another tab, the log takes a scan's lines without updating what is not seen.
        if (!behind_)
            followOnShow_ = bar->value() >= bar->maximum();
        behind_ = true;
        NotifyLogAppended(this, int(firstNew));
        return;
    }
    const bool following = bar->value() >= bar->maximum();
    updateScrollBars();
    if (following)
        bar->setValue(bar->maximum());
    // Repainting is needed only when a new line can be on screen.
    if (int(firstNew) <= bar->value() + visibleLines())
        viewport()->update();
    NotifyLogAppended(this, int(firstNew));
}

void LogView::measure(const QString& text)
{
    const int width = textWidths_.width(text);
    if (width > widest_)
        widest_ = width;
}

void LogView::clear()
{
    model_->clear();
}

void LogView::cleared()
{
    longestBytes_ = 0;
    widest_ = 0;
    anchor_ = caret_ = {};
    selecting_ = false;
    updateScrollBars();
    viewport()->update();
}

QString LogView::toPlainText() const
{
    return model_->toPlainText();
}

QString LogView::selectedText() const
{
    if (!hasSelection())
        return {};
    const Place from = std::min(anchor_, caret_);
    const Place to = std::max(anchor_, caret_);
    QString out;
    for (int i = from.line; i <= to.line; ++i) {
        const QString text = line(i);
        const int begin = i == from.line ? from.column : 0;
        const int end = i == to.line ? to.column : int(text.size());
        out += text.mid(begin, end - begin);
        if (i < to.line)
            out += QLatin1Char('\n');
    }
    return out;
}

void LogView::selectAll()
{
    if (model_->lineCount() == 0)
        return;
    anchor_ = {0, 0};
    caret_ = {lineCount() - 1, int(line(lineCount() - 1).size())};
    viewport()->update();
    publishSelection();
}

void LogView::copy() const
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void LogView::publishSelection() const
{
    QClipboard* clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
    NotifyLogSelection(this);
}

void LogView::scrollToEnd()
{
    behind_ = false;
    updateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

int LogView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int LogView::visibleLines() const
{
    return std::max(1, (viewport()->height() - 2 * Margin) / lineHeight());
}

void LogView::updateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    const int visible = visibleLines();
    v->setRange(0, std::max(0, lineCount() - visible));
    v->setPageStep(visible);
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width();
    h->setRange(0, std::max(0, widest_ + 2 * Margin - width));
    h->setPageStep(std::max(1, width));
    h->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
}

void LogView::layOut(QTextLayout& layout, const QString& text) const
{
    layout.setText(text);
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (textLine.isValid())
        textLine.setLineWidth(1e6);
    layout.endLayout();
}

void LogView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int height = lineHeight();
    const int first = verticalScrollBar()->value();
    const int last = std::min(lineCount() - 1, first + visibleLines() + 1);
    const int x = Margin - horizontalScrollBar()->value();
    const Place from = std::min(anchor_, caret_);
    const Place to = std::max(anchor_, caret_);
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    QTextCharFormat selected;
    selected.setBackground(palette().brush(group, QPalette::Highlight));
    selected.setForeground(palette().brush(group, QPalette::HighlightedText));
    painter.setPen(palette().color(QPalette::Text));
    int widest = widest_;
    for (int i = first; i <= last; ++i) {
        const QString text = line(i);
        QTextLayout layout;
        layOut(layout, text);
        const int y = Margin + (i - first) * height;
        QList<QTextLayout::FormatRange> ranges;
        if (hasSelection() && i >= from.line && i <= to.line) {
            const int begin = i == from.line ? from.column : 0;
            const int end = i == to.line ? to.column : int(text.size());
            if (end > begin)
                ranges.append({begin, end - begin, selected});
            // A selection that goes on past the line's end shows its line break as a blank.
            if (i < to.line) {
                const qreal right = layout.lineAt(0).naturalTextWidth();
                painter.fillRect(QRectF(x + right, y, fontMetrics().averageCharWidth(), height),
                                 selected.background());
            }
        }
        layout.draw(&painter, QPointF(x, y), ranges);
        widest = std::max(widest, int(std::ceil(layout.lineAt(0).naturalTextWidth())));
    }
    if (widest > widest_) {
        widest_ = widest;
        // Not while painting: a changed range may scroll, which paints again.
        QMetaObject::invokeMethod(this, [this] { updateScrollBars(); }, Qt::QueuedConnection);
    }
}

void LogView::resizeEvent(QResizeEvent* event)
{
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (following)
        bar->setValue(bar->maximum());
}

void LogView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        textWidths_ = TextWidths(font());
        widest_ = 0;
        longestBytes_ = 0;
        updateScrollBars();
        viewport()->update();
    }
}

void LogView::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    if (!behind_)
        return;
    behind_ = false;
    updateScrollBars();
    if (followOnShow_)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void LogView::scrollContentsBy(int, int)
{
    viewport()->update();
}

LogView::Place LogView::placeAt(QPoint pos) const
{
    if (model_->lineCount() == 0)
        return {};
    const int row = verticalScrollBar()->value() + (pos.y() - Margin) / lineHeight() - (pos.y() < Margin ? 1 : 0);
    if (row < 0)
        return {0, 0};
    if (row >= lineCount())
        return {lineCount() - 1, int(line(lineCount() - 1).size())};
    QTextLayout layout;
    layOut(layout, line(row));
    const qreal x = pos.x() - Margin + horizontalScrollBar()->value();
    return {row, layout.lineAt(0).xToCursor(std::max<qreal>(0, x))};
}

void LogView::selectTo(Place caret)
{
    if (caret == caret_)
        return;
    caret_ = caret;
    viewport()->update();
}

void LogView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Place place = placeAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        anchor_ = place;
    caret_ = place;
    selecting_ = true;
    viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event)
{
    if (!selecting_)
        return;
    const QPoint pos = event->position().toPoint();
    // Dragging past an edge scrolls on, a line or a step at a time.
    if (pos.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (pos.x() < 0)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.x() > viewport()->width())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    selectTo(placeAt(pos));
}

void LogView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        publishSelection();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || model_->lineCount() == 0)
        return;
    const Place place = placeAt(event->position().toPoint());
    anchor_ = {place.line, 0};
    caret_ = {place.line, int(line(place.line).size())};
    viewport()->update();
    publishSelection();
}

void LogView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return;
    case Qt::Key_Down:
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return;
    case Qt::Key_PageUp:
        v->triggerAction(QAbstractSlider::SliderPageStepSub);
        return;
    case Qt::Key_PageDown:
        v->triggerAction(QAbstractSlider::SliderPageStepAdd);
        return;
    case Qt::Key_Left:
        h->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return;
    case Qt::Key_Right:
        h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier)
            v->setValue(v->minimum());
        h->setValue(h->minimum());
        return;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier)
            v->setValue(v->maximum());
        else
            h->setValue(h->maximum());
        return;
    default:
        event->ignore();
    }
}

void LogView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr8(texts::LogCopy), this, [this] { copy(); });
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction* allAction = menu.addAction(tr8(texts::LogSelectAll), this, [this] { selectAll(); });
    allAction->setShortcut(QKeySequence::SelectAll);
    allAction->setEnabled(model_->lineCount() > 0);
    menu.exec(event->globalPos());
}

void LogView::setSelection(std::pair<int, int> anchor, std::pair<int, int> caret)
{
    const auto place = [this](std::pair<int, int> p) -> Place {
        if (lineCount() == 0)
            return {};
        const int index = std::clamp(p.first, 0, lineCount() - 1);
        return {index, std::clamp(p.second, 0, int(line(index).size()))};
    };
    anchor_ = place(anchor);
    caret_ = place(caret);
    viewport()->update();
    publishSelection();
}

QRect LogView::placeRect(int index, int column) const
{
    QTextLayout layout;
    layOut(layout, line(index));
    const QTextLine text = layout.lineAt(0);
    const qreal left = text.cursorToX(column);
    const qreal right = column < text.textLength() ? text.cursorToX(column + 1) : left + fontMetrics().averageCharWidth();
    const int x = Margin - horizontalScrollBar()->value() + int(left);
    const int y = Margin + (index - verticalScrollBar()->value()) * lineHeight();
    return {x, y, std::max(1, int(std::ceil(right - left))), lineHeight()};
}

std::pair<int, int> LogView::placeAtPoint(QPoint viewportPos) const
{
    const Place place = placeAt(viewportPos);
    return {place.line, place.column};
}

void LogView::scrollToLine(int index)
{
    if (behind_) {
        // Asked for a place: the range has to be whole now, and the end is no longer followed.
        behind_ = false;
        updateScrollBars();
    }
    QScrollBar* bar = verticalScrollBar();
    if (index < bar->value())
        bar->setValue(index);
    else if (index >= bar->value() + visibleLines())
        bar->setValue(index - visibleLines() + 1);
}

}  // namespace tessaly
