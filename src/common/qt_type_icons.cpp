#include "common/qt_type_icons.h"

#include <QMimeType>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessaly {

TypeKind KindOfType(const QMimeType& type)
{
    const QString name = type.name();
    const QString generic = type.genericIconName();
    if (name.startsWith(QLatin1String("image/")))
        return TypeKind::Image;
    if (name.startsWith(QLatin1String("audio/")))
        return TypeKind::Audio;
    if (name.startsWith(QLatin1String("video/")))
        return TypeKind::Video;
    if (generic == QLatin1String("package-x-generic"))
        return TypeKind::Archive;
    if (generic == QLatin1String("application-x-executable") || type.inherits(QStringLiteral("application/x-executable")))
        return TypeKind::Program;
    if (generic == QLatin1String("x-office-document") || generic == QLatin1String("x-office-spreadsheet") ||
        generic == QLatin1String("x-office-presentation") || name == QLatin1String("application/pdf"))
        return TypeKind::Document;
    if (name.startsWith(QLatin1String("text/")) || type.inherits(QStringLiteral("text/plain")))
        return TypeKind::Text;
    return TypeKind::Other;
}

namespace {

// Drawn on a 16-unit grid and scaled, so that both sizes share one drawing.
QPixmap drawPage(TypeKind kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);

    // A sheet with its top right corner folded.
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(10.5, 0.5);
    sheet.lineTo(13.5, 3.5);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.0));
    p.setBrush(QColor(0xfc, 0xfc, 0xfc));
    p.drawPath(sheet);
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawPolygon(QPolygonF({QPointF(10.5, 0.5), QPointF(10.5, 3.5), QPointF(13.5, 3.5)}));

    p.setPen(Qt::NoPen);
    switch (kind) {
    case TypeKind::Text:
        p.setBrush(QColor(0x90, 0x90, 0x90));
        for (int y : {5, 7, 9, 11, 13})
            p.drawRect(QRectF(4, y, y == 13 ? 4 : 7, 1));
        break;
    case TypeKind::Image:
        p.setBrush(QColor(0x9c, 0xc9, 0xf0));
        p.drawRect(QRectF(4, 6, 8, 7));
        p.setBrush(QColor(0xf2, 0xc0, 0x2f));
        p.drawEllipse(QPointF(9.8, 8), 1.2, 1.2);
        p.setBrush(QColor(0x4a, 0x9a, 0x3a));
        p.drawPolygon(QPolygonF({QPointF(4, 13), QPointF(7, 9), QPointF(10, 13)}));
        break;
    case TypeKind::Audio:
        p.setBrush(QColor(0xe0, 0x7a, 0x10));
        p.drawEllipse(QPointF(6.5, 12), 1.8, 1.4);
        p.drawRect(QRectF(7.6, 5.5, 1, 6.5));
        p.drawRect(QRectF(7.6, 5.5, 3, 1.2));
        break;
    case TypeKind::Video:
        p.setBrush(QColor(0x6a, 0x3f, 0xa0));
        p.drawRect(QRectF(4, 6, 8, 7));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(6.8, 7.8), QPointF(6.8, 11.2), QPointF(9.8, 9.5)}));
        break;
    case TypeKind::Archive:
        p.setBrush(QColor(0xb0, 0x80, 0x40));
        p.drawRect(QRectF(4, 6, 8, 8));
        p.setBrush(QColor(0x50, 0x38, 0x18));
        for (int y : {6, 8, 10})
            p.drawRect(QRectF(7.5, y, 1, 1));
        p.drawRect(QRectF(6.8, 11.5, 2.4, 2));
        break;
    case TypeKind::Document:
        p.setBrush(QColor(0xc8, 0x2a, 0x2a));
        p.drawRect(QRectF(3, 10, 10, 4));
        p.setBrush(QColor(0x90, 0x90, 0x90));
        for (int y : {5, 7})
            p.drawRect(QRectF(4, y, 7, 1));
        break;
    case TypeKind::Program:
        p.setBrush(QColor(0x2f, 0x6f, 0xb8));
        p.drawRect(QRectF(4, 5, 8, 8));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 7, 6, 5));
        break;
    case TypeKind::Other:
        break;
    }
    return pixmap;
}

}  // namespace

QIcon BuiltInTypeIcon(TypeKind kind)
{
    QIcon icon;
    icon.addPixmap(drawPage(kind, 16));
    icon.addPixmap(drawPage(kind, 32));
    return icon;
}

}  // namespace tessaly
