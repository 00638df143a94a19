#include "common/qt_icon_list.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPixmap>
#include <QPointer>
#include <QThreadPool>

#include <memory>
#include <vector>

#include "common/icon_file.h"
#include "common/qt_type_icons.h"
#include "platform/window_system.h"

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

void PrepareTypeIcons(QSize size)
{
    // The first file-type icon costs far more than the next: the type database and the icon
    // theme's index are read with it.
    for (const char* extension : {"", ".txt"})
        QtIconList::iconForExtension(QLatin1String(extension)).pixmap(size);
}

QIcon QtIconList::iconForExtension(const QString& extension)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.constFind(extension);
    if (it != cache.constEnd())
        return *it;
    // The system's own icon where it has one to give (the shell's on Windows).
    if (const auto pixels = SystemSmallIcon("x" + extension.toStdString())) {
        const QImage image(reinterpret_cast<const uchar*>(pixels->argb.data()), pixels->width, pixels->height,
                           QImage::Format_ARGB32);
        return *cache.insert(extension, QIcon(QPixmap::fromImage(image.copy())));
    }
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
    if (known == byExtension_.end()) {
        pictures_.push_back(iconForExtension(QString::fromUtf8(extension.data(), qsizetype(extension.size()))));
        known = byExtension_.emplace(extension, std::uint32_t(pictures_.size() - 1)).first;
    }
    return add(known->second);
}

int QtIconList::add(std::uint32_t picture)
{
    entries_.push_back(picture);
    return int(entries_.size() - 1);
}

void LimitPictureDecoding()
{
    QImageReader::setAllocationLimit(64);
}

namespace {

// One thread decodes the icons of every list, one file after the other, so that a scan that meets
// many favicons keeps one core for the window. Never destroyed, like the preview's reading thread.
QThreadPool& decodingThread()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        LimitPictureDecoding();
        return p;
    }();
    return *pool;
}

// The pictures of an icon file that IconFileFits has let through; empty when one does not decode.
// The reader checks again what each picture says of itself, so that a file that tells its
// directory one size and its decoder another is refused all the same.
std::vector<QImage> decodeIconFile(const QByteArray& bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // Read as what IconFileFits judged it to be, never as what its content might suggest.
    QImageReader reader(&buffer, bytes.startsWith("\x89PNG") ? "png" : "ico");
    reader.setAutoDetectImageFormat(false);
    std::vector<QImage> frames;
    for (int i = 0; i < MaxIconFrames; ++i) {
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > int(MaxIconSide) || size.height() > int(MaxIconSide)))
            return {};
        QImage image = reader.read();
        if (image.isNull() || image.width() > int(MaxIconSide) || image.height() > int(MaxIconSide))
            return {};
        frames.push_back(std::move(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return frames;
}

}  // namespace

void QtIconList::clear()
{
    entries_.clear();
    pictures_.assign(1, QIcon());
    byExtension_.clear();
    ++generation_;
}

std::optional<int> QtIconList::addIconImage(const std::string& bytes, std::function<void()> undecodable)
{
    // Its structure is read here, at once: a file that claims more than an icon is refused without
    // decoding anything, and told as such in order with the other lines of the load.
    if (!IconFileFits(bytes))
        return std::nullopt;
    // A picture of its own, empty until it is decoded.
    pictures_.push_back(QIcon());
    const std::uint32_t picture = std::uint32_t(pictures_.size() - 1);
    const int index = add(picture);
    ++decoding_;
    QPointer<QtIconList> self(this);
    const std::uint64_t generation = generation_;
    decodingThread().start([self, generation, index, picture, undecodable = std::move(undecodable),
                            data = QByteArray(bytes.data(), qsizetype(bytes.size()))]() mutable {
        auto frames = std::make_shared<std::vector<QImage>>(decodeIconFile(data));
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, index, picture, frames, undecodable = std::move(undecodable)] {
                if (!self)
                    return;
                if (generation == self->generation_ && std::size_t(picture) < self->pictures_.size()) {
                    if (frames->empty()) {
                        if (undecodable)
                            undecodable();
                    } else {
                        // An icon file holds several sizes; keep them all and let the view pick.
                        QIcon icon;
                        for (const QImage& frame : *frames)
                            icon.addPixmap(QPixmap::fromImage(frame));
                        self->pictures_[picture] = icon;
                        Q_EMIT self->iconChanged(index);
                    }
                }
                self->finishDecoding();
            },
            Qt::QueuedConnection);
    });
    return index;
}

void QtIconList::finishDecoding()
{
    if (--decoding_ == 0)
        Q_EMIT decoded();
}

int QtIconList::addSameAs(int index)
{
    return add(index >= 0 && std::size_t(index) < entries_.size() ? entries_[std::size_t(index)] : 0);
}

int QtIconList::addEmpty()
{
    return add(0);
}

QIcon ApplicationIcon()
{
    return QIcon(QStringLiteral(":/tessaly/tessaly.png"));
}

}  // namespace tessaly
