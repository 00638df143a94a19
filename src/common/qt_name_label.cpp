#include "common/qt_name_label.h"

#include <QTextLayout>

namespace tessaly {

namespace {

// text with line breaks where it reaches width: at a word's end where there is one, anywhere
// inside a word that is longer than the line.
QString wrappedAnywhere(const QString& text, const QFont& font, int width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QString out;
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        const QString& paragraph = paragraphs[i];
        if (i > 0)
            out += QLatin1Char('\n');
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (line.textStart() > 0)
                out += QLatin1Char('\n');
            out += paragraph.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
    }
    return out;
}

QString elidedLines(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, width);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

NameLabel::NameLabel(Fit fit, QWidget* parent) : QLabel(parent), fit_(fit)
{
    // Names are shown as they are, never as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void NameLabel::setText(const QString& text)
{
    if (text == full_ && !text.isEmpty())
        return;
    full_ = text;
    refit();
}

void NameLabel::refit()
{
    const int width = contentsRect().width() - 2 * margin() - 2 * indent();
    QString shown = full_;
    if (width > 0 && !full_.isEmpty())
        shown = fit_ == Fit::Wrap ? wrappedAnywhere(full_, font(), width) : elidedLines(full_, fontMetrics(), width);
    if (fit_ == Fit::Elide) {
        // Tooltips take markup: the text goes in escaped, its lines kept.
        setToolTip(shown == full_ ? QString()
                                  : QStringLiteral("<p style='white-space:pre-wrap'>") + full_.toHtmlEscaped() +
                                        QStringLiteral("</p>"));
    }
    if (shown != QLabel::text())
        QLabel::setText(shown);
}

QSize NameLabel::sizeHint() const
{
    // The height of what is drawn; no width of its own, which the window would have to honour.
    return {0, QLabel::sizeHint().height()};
}

QSize NameLabel::minimumSizeHint() const
{
    // At least one line: a text of many lines may be cut rather than push the window off the
    // screen's bottom.
    const int line = fontMetrics().height() + 2 * margin() + 2 * frameWidth();
    return {0, qMin(QLabel::minimumSizeHint().height(), line)};
}

void NameLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    refit();
}

}  // namespace tessaly
