#include "launch/qt_properties_dialog.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPointer>
#include <QScreen>
#include <QFontMetrics>
#include <QVBoxLayout>

#include "common/qt_text.h"
#include "common/texts.h"
#include "platform/linux/properties.h"

namespace tessaly {

namespace {


QString permissionsText(QFile::Permissions p)
{
    QString s;
    const std::pair<QFile::Permission, char> bits[] = {
        {QFile::ReadOwner, 'r'}, {QFile::WriteOwner, 'w'}, {QFile::ExeOwner, 'x'},
        {QFile::ReadGroup, 'r'}, {QFile::WriteGroup, 'w'}, {QFile::ExeGroup, 'x'},
        {QFile::ReadOther, 'r'}, {QFile::WriteOther, 'w'}, {QFile::ExeOther, 'x'}};
    for (const auto& [bit, c] : bits)
        s += (p & bit) ? QLatin1Char(c) : QLatin1Char('-');
    return s;
}

}  // namespace

QDialog* ShowOwnPropertiesDialog(const std::string& path, QWidget* parent)
{
    const QString local = QFile::decodeName(QByteArray::fromStdString(path));
    const QFileInfo info(local);
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("PropertiesDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Name and folder are shown escaped, so that a line break or a direction override in them
    // cannot change how the window reads.
    const auto shown = [](const QString& text) { return shownText(QFile::encodeName(text).toStdString()); };
    const QString title = shown(info.fileName()) + QStringLiteral(" - ") + tr8(texts::PropertiesCaption);
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    auto* form = new QFormLayout;
    auto add = [&](std::string_view caption, const QString& value, const char* name) {
        auto* label = new QLabel(value, dialog);
        label->setObjectName(QLatin1String(name));
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(tr8(caption), label);
    };
    const QLocale locale;
    // The type is judged by the name alone, so that a FIFO or device is never opened.
    const QString type = info.isDir() ? QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment()
                                      : QMimeDatabase().mimeTypeForFile(local, QMimeDatabase::MatchExtension).comment();
    add(texts::ColumnName, shown(info.fileName()), "PropertyName");
    add(texts::PropertyFolder, shown(info.absolutePath()), "PropertyFolder");
    add(texts::PropertyType, type, "PropertyType");
    add(texts::ColumnSize, locale.toString(info.size()) + QStringLiteral(" Byte"), "PropertySize");
    add(texts::ColumnModified, locale.toString(info.lastModified(), QLocale::ShortFormat), "PropertyModified");
    add(texts::PropertyPermissions, permissionsText(info.permissions()), "PropertyPermissions");
    add(texts::PropertyOwner, info.owner(), "PropertyOwner");
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    // Wide enough for the whole title beside the frame's buttons (within the screen), so that the
    // window manager need not cut it.
    const int titleWidth = QFontMetrics(QApplication::font()).horizontalAdvance(title) + 160;
    int limit = 1600;
    if (const QScreen* screen = dialog->screen())
        limit = screen->availableGeometry().width() * 9 / 10;
    dialog->setMinimumWidth(qMin(titleWidth, limit));
    dialog->show();
    return dialog;
}

bool DesktopPropertiesSheet::ShowPropertiesSheet(const std::string& path)
{
    QPointer<QWidget> parent = QApplication::activeWindow();
    const bool asked = AskFileManagerForProperties(path, [path, parent] { ShowOwnPropertiesDialog(path, parent); });
    if (!asked)
        ShowOwnPropertiesDialog(path, parent);
    return true;
}

}  // namespace tessaly
