#pragma once
// Text widths from the advances of single characters, each measured once per font: at most a few
// pixels above the shaped width and far cheaper than shaping, for lists and logs that measure a
// hundred thousand lines to size their columns and scroll ranges. Text with characters beyond the
// basic plane is shaped.

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaly {

class TextWidths {
public:
    explicit TextWidths(const QFont& font = QFont());

    int width(const QString& text) const;
    // The width of printable ASCII bytes, unrounded; nothing when other bytes are among them.
    std::optional<qreal> asciiWidth(std::string_view bytes) const;

private:
    float advance(char16_t unit) const;

    static constexpr unsigned char FirstPrintable = 0x20, PastPrintable = 0x7F;

    QFontMetrics metrics_;
    QFontMetricsF metricsF_;
    mutable std::vector<float> advances_;  // per UTF-16 unit, -1 until measured
    std::array<float, PastPrintable - FirstPrintable> ascii_{};  // printable ASCII, measured at once
};

}  // namespace tessaly
