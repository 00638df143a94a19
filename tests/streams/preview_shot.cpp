// Shows the window with the preview pane on a downloaded file that carries a Zone.Identifier and a
// picture stream, selects the picture and saves a picture of the window:
//     xvfb-run -a -s "-screen 0 1280x800x24" ./preview_shot out.png [detect]
// With "detect" the folder is scanned and the result list's Zone.Identifier row is shown instead.
// Not a test: nothing is checked automatically.

#include <QAbstractItemModel>
#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include "app/form1.h"
#include "app/services.h"
#include "detect/qt_detection.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("preview.png");
    test::TempDir dir;
    const std::string file = dir.write("installer.zip", "PK\x03\x04");
    std::string zone = "\xff\xfe";
    for (char c : std::string("[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/downloads/\r\n"
                              "HostUrl=https://dl.example.org/installer.zip\r\n"))
        zone.append(1, c).append(1, '\0');
    test::SetStream(file, "Zone.Identifier", zone);
    QImage image(160, 100, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 160, 100);
    g.setColorAt(0, QColor(40, 110, 190));
    g.setColorAt(1, QColor(240, 180, 60));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("pic.png"));
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    test::SetStream(file, "pic.png", png.toStdString());
    test::SetStream(file, "notes", "メモ: 展開前に確認すること\n");

    Services services = Services::defaults();
    services.settingsFile = dir.file("Tessaly.ini");
    Form1 form(services, {QString::fromStdString(file)});
    form.resize(900, 520);
    form.show();
    const bool detect = argc > 2 && QByteArray(argv[2]) == "detect";
    QTimer::singleShot(500, &form, [&] {
        if (detect) {
            test::PageControl1(form)->setCurrentIndex(1);
            form.setFolderPaneFolder(QString::fromStdString(dir.path()));
            QEventLoop scanned;
            QObject::connect(form.findChild<DetectionPage*>(), &DetectionPage::finished, &scanned, &QEventLoop::quit);
            form.FolderPaneDblClick();
            if (form.scanRunning())
                scanned.exec();
            QAbstractItemModel* model = test::ListView1(form)->model();
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->index(r, 0).data().toString().endsWith(QStringLiteral(":Zone.Identifier")))
                    test::ListView1(form)->setCurrentIndex(model->index(r, 0));
        }
        const Workspace& ws = form.workspace();
        for (int i = 1; i < ws.nodeCount(); ++i)
            if (ws.node(i).text == file + ":pic.png")
                form.selectNode(i);
        QTimer::singleShot(1000, &form, [&] {
            form.grab().save(out);
            app.quit();
        });
    });
    return app.exec();
}
