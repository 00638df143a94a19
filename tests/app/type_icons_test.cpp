// File-type icons on a desktop without any icon theme: the tree still tells the kinds apart.

#include <QApplication>
#include <QBuffer>
#include <QMimeDatabase>
#include <QTest>

#include "common/qt_icon_list.h"
#include "common/qt_type_icons.h"

using namespace tessaly;

Q_DECLARE_METATYPE(tessaly::TypeKind)

class TypeIconsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // No theme at all: nothing to find in any folder.
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName(QStringLiteral("none"));
        QIcon::setFallbackThemeName(QString());
        QVERIFY(QIcon::fromTheme(QStringLiteral("text-x-generic")).isNull());
    }

    void kindFollowsTheType_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<TypeKind>("kind");
        QTest::newRow("jpg") << ".jpg" << TypeKind::Image;
        QTest::newRow("PNG") << ".PNG" << TypeKind::Image;
        QTest::newRow("txt") << ".txt" << TypeKind::Text;
        QTest::newRow("c source") << ".c" << TypeKind::Text;
        QTest::newRow("mp3") << ".mp3" << TypeKind::Audio;
        QTest::newRow("mp4") << ".mp4" << TypeKind::Video;
        QTest::newRow("zip") << ".zip" << TypeKind::Archive;
        QTest::newRow("tar.gz") << ".tar.gz" << TypeKind::Archive;
        QTest::newRow("pdf") << ".pdf" << TypeKind::Document;
        QTest::newRow("odt") << ".odt" << TypeKind::Document;
        QTest::newRow("exe") << ".exe" << TypeKind::Program;
        QTest::newRow("none") << "" << TypeKind::Other;
    }
    void kindFollowsTheType()
    {
        QFETCH(QString, extension);
        QFETCH(TypeKind, kind);
        const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension);
        QCOMPARE(KindOfType(type), kind);
    }

    void everyTypeGetsAPictureAndKindsDiffer()
    {
        QList<QImage> seen;
        for (const char* extension : {"", ".txt", ".jpg", ".mp3", ".mp4", ".zip", ".pdf", ".exe"}) {
            const QIcon icon = QtIconList::iconForExtension(QLatin1String(extension));
            const QImage image = icon.pixmap(16, 16).toImage();
            QVERIFY2(!image.isNull(), extension);
            QVERIFY2(!seen.contains(image), extension);
            seen << image;
        }
        // One icon per item, also when every icon is built in.
        QtIconList list;
        QCOMPARE(list.addForExtension(".jpg"), 0);
        QCOMPARE(list.addForExtension(""), 1);
        QVERIFY(!list.icon(1).isNull());
    }

    // Rows share the picture of their type; an icon file's picture, once decoded, is its own row's
    // alone; a cleared list starts afresh.
    void entriesKeepTheirOwnPictures()
    {
        QImage red(16, 16, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QByteArray ico;
        QBuffer buffer(&ico);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(red.save(&buffer, "ico"));
        const auto centre = [](const QIcon& icon) { return icon.pixmap(16, 16).toImage().pixelColor(8, 8); };

        QtIconList list;
        const int jpg = list.addForExtension(".jpg");
        const int same = list.addSameAs(jpg);
        const int empty = list.addEmpty();
        const std::optional<int> file = list.addIconImage(ico.toStdString(), {});
        const int after = list.addSameAs(jpg);
        QVERIFY(file);
        QCOMPARE(list.count(), 5);
        QTRY_VERIFY(!list.decoding());
        QCOMPARE(centre(list.icon(*file)), QColor(Qt::red));
        for (int row : {same, after})
            QCOMPARE(list.icon(row).cacheKey(), list.icon(jpg).cacheKey());
        QVERIFY(centre(list.icon(jpg)) != QColor(Qt::red));
        QVERIFY(list.icon(empty).isNull());

        list.clear();
        QCOMPARE(list.count(), 0);
        QVERIFY(list.icon(0).isNull());
        QCOMPARE(list.addForExtension(".jpg"), 0);
        QVERIFY(centre(list.icon(0)) != QColor(Qt::red));
    }
};

QTEST_MAIN(TypeIconsTest)
#include "type_icons_test.moc"
