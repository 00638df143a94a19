#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "app/texts.h"

namespace tessaly {

namespace {
QString title()
{
    return QString::fromUtf8(texts::ApplicationTitle.data(), qsizetype(texts::ApplicationTitle.size()));
}
}  // namespace

QString QtFilterFromPairs(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The caption already shows its pattern; Qt wants "caption (pattern)".
        const QString& caption = parts[i];
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << caption + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString ErrorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void WidgetDialogs::showMessage(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetDialogs::askYesNo(QWidget* parent, const QString& text, const QString& caption)
{
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
}

void WidgetDialogs::showError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, title(), ErrorBoxText(text));
}

QString WidgetDialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                       const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, QtFilterFromPairs(filter));
}

QString WidgetDialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                       const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, fileName, QtFilterFromPairs(filter));
}

}  // namespace tessaly
