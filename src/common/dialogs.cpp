#include "common/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "common/texts.h"

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
        // Qt takes the patterns from the filter's last parentheses; the dialogs hide that part
        // (HideNameFilterDetails), so the caption reads exactly as given and names its pattern
        // once. "*.*" would pass over every Linux name without a dot: "all files" is "*" here.
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString AllFilesFirst(const QString& pairs)
{
    QStringList parts = pairs.split(QLatin1Char('|'));
    for (qsizetype i = 2; i + 1 < parts.size(); i += 2) {
        if (parts[i + 1] == QLatin1String("*.*")) {
            const QString caption = parts.takeAt(i);
            const QString pattern = parts.takeAt(i);
            parts.insert(0, pattern);
            parts.insert(0, caption);
            break;
        }
    }
    return parts.join(QLatin1Char('|'));
}

QString ErrorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

namespace {
// Texts in boxes may hold names, and a name is shown as it is: never read as markup.
int runBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton preferred = QMessageBox::NoButton)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    if (preferred != QMessageBox::NoButton) {
        box.setDefaultButton(preferred);
        box.setEscapeButton(preferred);
    }
    return box.exec();
}
}  // namespace

void WidgetDialogs::showMessage(QWidget* parent, const QString& text, const QString& caption)
{
    runBox(QMessageBox::NoIcon, parent, caption, text, QMessageBox::Ok);
}

bool WidgetDialogs::askYesNo(QWidget* parent, const QString& text, const QString& caption)
{
    return runBox(QMessageBox::Question, parent, caption, text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
}

bool WidgetDialogs::askWarning(QWidget* parent, const QString& text, const QString& caption)
{
    return runBox(QMessageBox::Warning, parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void WidgetDialogs::showError(QWidget* parent, const QString& text)
{
    runBox(QMessageBox::Critical, parent, title(), ErrorBoxText(text), QMessageBox::Ok);
}

QString WidgetDialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                       const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, QtFilterFromPairs(filter), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

QString WidgetDialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                       const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, fileName, QtFilterFromPairs(filter), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

}  // namespace tessaly
