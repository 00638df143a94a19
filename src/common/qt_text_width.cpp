#include "common/qt_text_width.h"

#include <cmath>

namespace tessaly {

TextWidths::TextWidths(const QFont& font) : metrics_(font), metricsF_(font)
{
    for (unsigned c = FirstPrintable; c < PastPrintable; ++c)
        ascii_[c - FirstPrintable] = float(metricsF_.horizontalAdvance(QChar(c)));
}

float TextWidths::advance(char16_t unit) const
{
    if (advances_.empty())
        advances_.assign(0x10000, -1.0f);
    float& known = advances_[unit];
    if (known < 0)
        known = float(metricsF_.horizontalAdvance(QChar(unit)));
    return known;
}

int TextWidths::width(const QString& text) const
{
    qreal width = 0;
    for (QChar c : text) {
        if (c.isSurrogate())
            return metrics_.horizontalAdvance(text);
        width += advance(c.unicode());
    }
    return int(std::ceil(width));
}

std::optional<qreal> TextWidths::asciiWidth(std::string_view bytes) const
{
    float width = 0;
    for (unsigned char b : bytes) {
        if (b >= PastPrintable || b < FirstPrintable)
            return std::nullopt;
        width += ascii_[b - FirstPrintable];
    }
    return width;
}

}  // namespace tessaly
