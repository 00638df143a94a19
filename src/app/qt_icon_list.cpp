#include "app/qt_icon_list.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>

#include "app/qt_type_icons.h"

namespace tessaly {

void FindFileTypeIcons()
{
    // Outside a desktop session Qt looks in "hicolor" alone, which has hardly any file-type
    // icons. Borrow them from a complete theme that is installed; a theme the desktop chose stays.
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    if (!QIcon::fallbackThemeName().isEmpty() && QIcon::fallbackThemeName() != QLatin1String("hicolor"))
        return;
    static const char* const complete[] = {"Adwaita", "breeze", "Papirus", "elementary", "gnome", "oxygen", "Tango"};
    for (const char* name : complete)
        for (const QString& base : QIcon::themeSearchPaths())
            if (QFileInfo::exists(base + QLatin1Char('/') + QLatin1String(name) + QStringLiteral("/index.theme"))) {
                QIcon::setFallbackThemeName(QLatin1String(name));
                return;
            }
}

QIcon QtIconList::iconForExtension(const QString& extension)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.constFind(extension);
    if (it != cache.constEnd())
        return *it;
    static const QMimeDatabase db;
    // Matching by name only: the item itself is never opened for its icon.
    const QMimeType mime = db.mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull()) {
        // No theme knows the type: a picture of our own for its broad kind, still telling a
        // picture from a text or a program.
        const TypeKind kind = KindOfType(mime);
        static const QIcon plain = QIcon::fromTheme(QStringLiteral("text-x-generic"), BuiltInTypeIcon(TypeKind::Other));
        icon = kind == TypeKind::Other ? plain : BuiltInTypeIcon(kind);
    }
    cache.insert(extension, icon);
    return icon;
}

int QtIconList::addForExtension(const std::string& extension)
{
    // A scan asks once per result row, for a few extensions again and again: they are looked up
    // by their bytes, without a text conversion.
    auto known = byExtension_.find(extension);
    if (known == byExtension_.end())
        known = byExtension_
                    .emplace(extension, iconForExtension(QString::fromUtf8(extension.data(), qsizetype(extension.size()))))
                    .first;
    icons_.append(known->second);
    return int(icons_.size() - 1);
}

std::optional<int> QtIconList::addIconImage(const std::string& bytes)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QIcon icon;
    // An icon file holds several sizes; keep them all and let the view pick the small one.
    do {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    if (icon.isNull())
        return std::nullopt;
    icons_.append(icon);
    return int(icons_.size() - 1);
}

int QtIconList::addEmpty()
{
    icons_.append(QIcon());
    return int(icons_.size() - 1);
}

QIcon ApplicationIcon()
{
    return QIcon(QStringLiteral(":/tessaly/tessaly.png"));
}

}  // namespace tessaly
