// Screenshots of the window with a file deep in a folder tree, to look at by eye how rows, the
// preview, the detection tab and the help window fit a screen:
//     xvfb-run -a -s "-screen 0 1280x800x24" ./comfort_shots OUTDIR 1280 800
// writes OUTDIR/workspace-1280x800.png, scanning-..., detection-..., help-... and tooltip-....
// The help window shows comfort_shots.html from beside the program, when it is there.
// Not a test: nothing is checked automatically.

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>

#include "app/form1.h"
#include "app/startup.h"
#include "desktop/recording_services.h"
#include "detect/qt_detection.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

QString outDir, suffix;

void shot(const char* name)
{
    const QString file = outDir + QLatin1Char('/') + QLatin1String(name) + suffix;
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.toUtf8().constData());
    std::fflush(stdout);
}

// The window as it draws itself, at once: for a moment that does not wait for the screen.
void shotOf(QWidget& window, const char* name)
{
    const QString file = outDir + QLatin1Char('/') + QLatin1String(name) + suffix;
    const bool ok = window.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.toUtf8().constData());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const int width = argc > 3 ? std::atoi(argv[2]) : 1280;
    const int height = argc > 3 ? std::atoi(argv[3]) : 800;
    suffix = QStringLiteral("-%1x%2.png").arg(width).arg(height);
    LoadToolkitTranslation(app);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));

    test::TempDir dir;
    const std::string top = dir.file("資料");
    const std::string folder = top + "/2026年度/調査プロジェクト/現地調査/第3回_北区/写真と記録";
    std::filesystem::create_directories(folder);
    const std::string doc = folder + "/調査報告書_最終版.txt";
    {
        std::FILE* f = std::fopen(doc.c_str(), "w");
        std::fputs("調査報告 2026年12月\n\n添付: 現地の写真、メモ、ダウンロード元の記録\n", f);
        std::fclose(f);
    }
    const char* names[] = {"メモ.txt", "photo-001.jpg", "photo-002.jpg", "地図.png", "確認事項.txt",
                           "thumbnail", "summary.json", "作業記録.log", "版"};
    for (const char* name : names)
        test::SetStream(doc, name, std::string("内容: ") + name);
    test::SetStream(doc, "Zone.Identifier",
                    "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/reports/\r\n"
                    "HostUrl=https://dl.example.org/report.txt\r\n");
    // Something to scan besides: files with and without streams in the folders above.
    for (int i = 0; i < 400; ++i) {
        const std::string sub = top + "/2026年度/記録" + std::to_string(i % 20);
        std::filesystem::create_directories(sub);
        const std::string file = sub + "/記録" + std::to_string(i) + ".txt";
        std::FILE* f = std::fopen(file.c_str(), "w");
        std::fclose(f);
        if (i % 7 == 0)
            test::SetStream(file, i % 2 ? "写真メモ" : "note", "x");
    }

    auto urls = std::make_shared<test::RecordingUrlOpener>();
    urls->opened = false;  // no browser: the help comes up in Tessaly's own window
    Services services = Services::defaults();
    services.settingsFile = dir.file("Tessaly.ini");
    services.urls = urls;
    Form1 form(services, CommandLineBytes({doc}));
    form.setGeometry(0, 0, width, height);
    form.show();

    QTimer::singleShot(1500, [&] {
        form.selectNode(3);
        QTimer::singleShot(800, [&] {
            shot("workspace");
            test::PageControl1(form)->setCurrentIndex(1);
            form.setFolderPaneFolder(QString::fromStdString(top));
            // One batch at a time, so that the scan is still going when it is taken.
            auto* pane = form.findChild<DetectionPage*>();
            pane->worker().batchInterval = std::chrono::milliseconds(0);
            pane->worker().batchesAhead = 1;
            // Taken while the scan runs, once some rows are shown.
            auto* scanning = new QObject(pane);
            QObject::connect(pane, &DetectionPage::progressed, scanning, [&form, pane, scanning] {
                if (pane->scanning() && test::ListView1(form)->model()->rowCount() >= 20) {
                    shotOf(form, "scanning");
                    QObject::disconnect(pane, nullptr, scanning, nullptr);
                }
            });
            form.FolderPaneDblClick();
            QTimer::singleShot(0, [&] {
                QTimer::singleShot(3000, [&] {
                    form.findChild<QLineEdit*>(QStringLiteral("Filter4"))->setText(QStringLiteral("写真"));
                    test::ListView1(form)->setCurrentIndex(test::ListView1(form)->model()->index(1, 0));
                    test::ListView1(form)->scrollToTop();
                    QTimer::singleShot(800, [&] {
                        shot("detection");
                        form.Help2Click();
                        QTimer::singleShot(1200, [&] {
                            shot("help");
                            form.findChild<QWidget*>(QStringLiteral("HelpWindow"))->close();
                            test::PageControl1(form)->setCurrentIndex(0);
                            QTreeWidget* tree = test::TreeView1(form);
                            QTreeWidgetItem* item = tree->topLevelItem(0)->child(5);
                            const QPoint at = tree->viewport()->mapToGlobal(tree->visualItemRect(item).center());
                            QToolTip::showText(at, item->toolTip(0), tree);
                            QTimer::singleShot(800, [&] {
                                shot("tooltip");
                                app.quit();
                            });
                        });
                    });
                });
            });
        });
    });
    return app.exec();
}
