// What a hostile item can do to the window by the way it is shown: icon files that decode to
// gigabytes, names and addresses too long for any screen.

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <fstream>
#include <memory>

#include "app/form1.h"
#include "app/services.h"
#include "common/qt_icon_list.h"
#include "common/qt_log_view.h"
#include "detect/qt_detection.h"
#include "streams/qt_preview_pane.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

std::string encoded(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(0);  // the smallest file
    if (!writer.write(image))
        qFatal("cannot encode a picture");
    return data.toStdString();
}

// A one-colour picture: a few kilobytes of PNG, side x side x 4 bytes once decoded.
std::string pngBomb(int side)
{
    QImage image(side, side, QImage::Format_Mono);
    image.fill(0);
    return encoded(image, "png");
}

std::string le(std::uint32_t v, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// An icon file whose directory lists the one PNG frames times, each entry claiming 16 x 16.
std::string icoOf(const std::string& png, int frames)
{
    std::string out = le(0, 2) + le(1, 2) + le(std::uint32_t(frames), 2);
    const auto offset = std::uint32_t(6 + 16 * frames);
    for (int i = 0; i < frames; ++i)
        out += std::string("\x10\x10\0\0", 4) + le(1, 2) + le(32, 2) + le(std::uint32_t(png.size()), 4) + le(offset, 4);
    return out + png;
}

// Resident memory of the process (kB), and its peak since the last reset.
long long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size()));
    return -1;
}

bool resetPeakMemory()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return bool(out);
}

// The longest time the window's event loop went without turning while it runs.
class GapMeter {
public:
    GapMeter()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.restart());
        });
        clock_.start();
        timer_.start();
    }
    qint64 longest() const { return std::max(longest_, clock_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

}  // namespace

class DisplayLimitsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<Form1> form;

    QStringList log() const { return test::Memo1(*form)->toPlainText().split(QLatin1Char('\n')); }
    bool logged(const QString& body) const
    {
        for (const QString& line : log())
            if (line.mid(20) == body)
                return true;
        return false;
    }

private Q_SLOTS:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        dir = std::make_unique<test::TempDir>();
        if (!dir->supportsUserAttributes())
            QSKIP("the temporary folder's file system does not take user attributes");
        Services services = Services::defaults();
        services.settingsFile = dir->file("Tessaly.ini");
        form = std::make_unique<Form1>(services, QStringList{});
        form->resize(800, 500);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void faviconBombIsRefusedWithoutStall_data()
    {
        QTest::addColumn<QString>("file");    // in the scanned folder
        QTest::addColumn<QString>("stream");  // where the icon is; empty: the file itself
        QTest::addColumn<int>("kind");        // 0 ICO of huge frames, 1 huge PNG, 2 ordinary icon
        QTest::addColumn<bool>("scan");       // scanned rather than loaded
        QTest::newRow("ICO stream, loaded") << "site.url" << "favicon" << 0 << false;
        QTest::newRow("ICO stream, scanned") << "site.url" << "favicon" << 0 << true;
        QTest::newRow("PNG file, loaded") << "favicon" << "" << 1 << false;
        QTest::newRow("PNG file, scanned") << "favicon" << "" << 1 << true;
        QTest::newRow("ordinary icon, loaded") << "site.url" << "favicon" << 2 << false;
        QTest::newRow("ordinary icon, scanned") << "site.url" << "favicon" << 2 << true;
    }
    void faviconBombIsRefusedWithoutStall()
    {
        QFETCH(QString, file);
        QFETCH(QString, stream);
        QFETCH(int, kind);
        QFETCH(bool, scan);
        // Two dozen frames of 4096 x 4096 in a few kilobytes (what a user attribute holds), or one
        // PNG of 16384 x 16384: 1.5 GiB and 1 GiB decoded.
        QImage ordinary(16, 16, QImage::Format_ARGB32);
        ordinary.fill(Qt::darkCyan);
        const std::string bytes = kind == 0 ? icoOf(pngBomb(4096), 24) : kind == 1 ? pngBomb(16384) : encoded(ordinary, "ico");
        const std::string folder = dir->file("tree");
        QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
        const std::string path = folder + "/" + file.toStdString();
        std::ofstream(path, std::ios::binary) << (stream.isEmpty() ? bytes : std::string("[InternetShortcut]\n"));
        QVERIFY(test::SetStream(path, stream.isEmpty() ? "note" : stream.toStdString(), stream.isEmpty() ? "x" : bytes));
        const QString iconItem = QString::fromStdString(stream.isEmpty() ? path : path + ":" + stream.toStdString());

        QVERIFY(resetPeakMemory());
        const long long before = statusKb("VmRSS");
        qint64 gap = 0;
        {
            GapMeter meter;
            if (scan) {
                form->setFolderPaneFolder(folder);
                form->FolderPaneDblClick();
                QTRY_VERIFY(!form->scanRunning());
            } else {
                form->dropFiles({path});
            }
            // An ordinary icon still shows, once decoded: on the stream's node, or its result row.
            if (kind == 2 && scan)
                QTRY_VERIFY(!form->findChild<DetectionPage*>()->ImageList3().icon(1).isNull());
            else if (kind == 2)
                QTRY_VERIFY(!test::TreeView1(*form)->topLevelItem(0)->child(0)->icon(0).isNull());
            gap = meter.longest();
        }
        const long long growthMiB = (statusKb("VmHWM") - before) / 1024;
        qInfo("%s: longest event-loop gap %lld ms, peak memory growth %lld MiB", QTest::currentDataTag(),
              qint64(gap), growthMiB);
        QCOMPARE(logged(QStringLiteral("アイコンイメージエラー ") + iconItem), kind != 2);
        QVERIFY2(growthMiB < 100, qPrintable(QString::number(growthMiB)));
    }

    // A legal name of 244 bytes without a blank and an address of 3,500 (what a user attribute holds): the window keeps its
    // width and fits the screen, and the preview shows the name whole, wrapped.
    void longNamesNeverWidenTheWindow()
    {
        const std::string name(240, 'n');
        const std::string url = "https://dl.example/" + std::string(3500, 'u');
        const std::string path = dir->write(name + ".txt", "x");
        std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + url + "\r\n";
        QVERIFY(test::SetStream(path, "Zone.Identifier", zone));
        form->dropFiles({path});
        auto* pane = test::PreviewPane1(*form);
        QTRY_VERIFY(!pane->reading());
        QTRY_VERIFY(pane->originText().contains(QString::fromStdString(url)));
        QVERIFY(form->statusText().contains(QString::fromStdString(name)));

        const QSize screen = form->screen()->availableGeometry().size();
        const QSize least = form->minimumSizeHint();
        QVERIFY2(least.width() <= screen.width() && least.height() <= screen.height(),
                 qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
        QTRY_VERIFY2(form->width() <= screen.width(), qPrintable(QString::number(form->width())));
        for (const char* label : {"PreviewName", "PreviewOrigin"}) {
            const auto* l = pane->findChild<QLabel*>(QLatin1String(label));
            QVERIFY(l->width() <= form->width());
            QVERIFY(l->minimumSizeHint().width() <= screen.width());
        }
        // Wrapped, not cut: every character of the name is on screen.
        const auto* shownName = pane->findChild<QLabel*>(QStringLiteral("PreviewName"));
        QTRY_VERIFY(shownName->QLabel::text().count('\n') >= 1);
        QCOMPARE(shownName->QLabel::text().remove('\n'), QString::fromStdString(path));
    }
};

QTEST_MAIN(DisplayLimitsTest)
#include "display_limits_test.moc"
