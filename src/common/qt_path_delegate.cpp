#include "common/qt_path_delegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLocale>
#include <QStyle>

#include <algorithm>

#include "common/numbers.h"
#include "common/qt_text.h"

namespace tessaly {

QString ElidePath(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    // Shown names escape with "\\", so it separates folders only in a path without "/" (Windows).
    const QLatin1Char folderSeparator(text.contains(QLatin1Char('/')) ? '/' : '\\');
    const qsizetype cut = std::max(text.lastIndexOf(folderSeparator), text.lastIndexOf(QLatin1Char(':')));
    if (cut > 0) {
        const QString tail = text.mid(cut);
        const int room = width - metrics.horizontalAdvance(tail);
        // Below a few characters the folders would only leave an ellipsis behind.
        if (room >= metrics.horizontalAdvance(QStringLiteral("/…/"))) {
            const QString shown = metrics.elidedText(text.left(cut), Qt::ElideMiddle, room) + tail;
            if (metrics.horizontalAdvance(shown) <= width)
                return shown;
        }
    }
    return metrics.elidedText(text, Qt::ElideLeft, width);
}

QString PathToolTip(const QString& shownPath, std::uint64_t size)
{
    const std::string separator = QLocale().groupSeparator().toStdString();
    return shownPath + QLatin1Char('\n') + tr8(SizeLine(size, separator));
}

void PathElideDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The style draws the text inside the text rectangle less a margin on either side, and lays it
    // out in fractions of a pixel: a text that fits in whole pixels may still be a little too wide
    // for it, and would be cut again at the style's end.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    opt.text = ElidePath(opt.text, QFontMetrics(opt.font), textRect.width() - 2 * margin - 2);
    opt.textElideMode = Qt::ElideLeft;
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

}  // namespace tessaly
