// The preview panes through the window, on real files with streams in the test's folder: the
// workspace tree's selection and the detection list's selected row.

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

#include <future>
#include <memory>

#include "app/form1.h"
#include "app/services.h"
#include "streams/qt_preview_pane.h"
#include "support/fake_filesystem.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

std::string pngBytes()
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data.toStdString();
}

// One colour, 4608 x 4608: 3 KB of PNG, 81 MiB once on screen.
std::string pngBomb()
{
    QImage image(4608, 4608, QImage::Format_Mono);
    image.fill(0);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0);
    writer.write(image);
    return data.toStdString();
}

std::string utf16le(std::string_view ascii)
{
    std::string out = "\xff\xfe";
    for (char c : ascii)
        out.append(1, c).append(1, '\0');
    return out;
}

// A file system whose reads of one item wait until the test lets them go, as on a slow volume.
class GatedFileSystem final : public FileSystem {
public:
    std::vector<StreamInfo> listStreams(const std::string& path) override { return inner.listStreams(path); }
    std::uint64_t fileSizeOf(const std::string& path) override { return inner.fileSizeOf(path); }
    bool pathExists(const std::string& path) override { return inner.pathExists(path); }
    bool streamExists(const std::string& f, const std::string& s) override { return inner.streamExists(f, s); }
    Expected<std::string> readItem(const ItemRef& item) override { return inner.readItem(item); }
    std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) override
    {
        return inner.writeItem(item, data);
    }
    Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& item) override
    {
        if (item.file == gated)
            gate.wait();
        return inner.openRead(item);
    }

    test::FakeFileSystem inner;
    std::string gated;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
};

}  // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<Form1> form;
    std::string file;

    // Waits until the pane has put a result on screen.
    static bool settled(PreviewPane* pane)
    {
        return QTest::qWaitFor([pane] { return !pane->reading(); }, 60000);
    }

private Q_SLOTS:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        dir = std::make_unique<test::TempDir>();
        if (!dir->supportsUserAttributes())
            QSKIP("the temporary folder's file system does not take user attributes");
        file = dir->write("setup.zip", "PK\x03\x04 not really");
        const std::pair<const char*, std::string> streams[] = {
            {"Zone.Identifier", utf16le("[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://dl.example/setup.zip\r\n")},
            {"notes", "first line\nsecond line\n"},
            {"sjis", "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67"},
            {"blob", std::string("\x7f" "ELF\0\1\2", 7)},
            {"pic.png", pngBytes()},
            {"name\nwith break", "x"},
            {"no\u200btes", "x"},
            {"bomb.png", pngBomb()},
            {"rtl", "invoice\u202efdp.exe\u2066x\u2069"},
        };
        for (const auto& [name, value] : streams)
            QVERIFY(test::SetStream(file, name, value));
        Services services = Services::defaults();
        services.settingsFile = dir->file("Tessaly.ini");
        form = std::make_unique<Form1>(services, QStringList{QString::fromStdString(file)});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void selectedNodeIsShown_data()
    {
        QTest::addColumn<QString>("stream");
        QTest::addColumn<QString>("content");  // the start of the text shown; empty for a picture
        QTest::addColumn<QString>("header");   // a part of the name, size and kind lines
        QTest::newRow("text") << "notes" << "first line\nsecond line" << "UTF-8";
        QTest::newRow("shift_jis") << "sjis" << QStringLiteral("日本語テキスト") << "Shift_JIS";
        QTest::newRow("binary") << "blob" << "00000000  7f 45 4c 46 00 01 02" << QStringLiteral("16 進");
        QTest::newRow("image") << "pic.png" << QString() << "PNG 24 x 16";
        QTest::newRow("utf16 zone") << "Zone.Identifier" << "[ZoneTransfer]" << "UTF-16LE";
        QTest::newRow("escaped name") << "name\nwith break" << "x" << "name\\nwith break";
        QTest::newRow("invisible in name") << QStringLiteral("no\u200btes") << "x" << "no\\u200btes";
        QTest::newRow("picture too large") << "bomb.png" << "00000000  89 50 4e 47"
                                           << QStringLiteral("画像が大きすぎるため表示しません (4608 x 4608)");
        QTest::newRow("direction controls in text") << "rtl" << "invoice\\u202efdp.exe\\u2066x\\u2069" << "UTF-8";
    }
    void selectedNodeIsShown()
    {
        QFETCH(QString, stream);
        QFETCH(QString, content);
        QFETCH(QString, header);
        const Workspace& ws = form->workspace();
        int index = -1;
        for (int i = 1; i < ws.nodeCount(); ++i)
            if (ws.node(i).text == file + ":" + stream.toStdString())
                index = i;
        QVERIFY(index > 0);
        form->selectNode(index);
        PreviewPane* pane = test::PreviewPane1(*form);
        QVERIFY(settled(pane));
        QVERIFY2(pane->headerText().contains(header), qPrintable(pane->headerText()));
        if (content.isEmpty())
            QVERIFY(pane->showsImage());
        else
            QVERIFY2(pane->shownText().startsWith(content), qPrintable(pane->shownText().left(80)));
        // Where the file came from shows on the stream that records it, not on the file's other streams.
        if (stream == QLatin1String("Zone.Identifier")) {
            QVERIFY2(pane->originText().contains(QStringLiteral("3 インターネット")), qPrintable(pane->originText()));
            QVERIFY(pane->originText().contains(QStringLiteral("https://dl.example/setup.zip")));
        } else {
            QVERIFY2(pane->originText().isEmpty(), qPrintable(pane->originText()));
        }
    }

    void slowReadLeavesTheWindowFreeAndOnlyTheLatestItemIsShown()
    {
        auto fs = std::make_shared<GatedFileSystem>();
        fs->inner.add("/slow", "slow data");
        fs->inner.add("/fast", "fast data");
        fs->gated = "/slow";
        PreviewPane pane(fs);
        QSignalSpy shown(&pane, &PreviewPane::shown);
        pane.showItem({"/slow", {"/slow", {}}, false, 9});
        // Back in the window while the read waits on the volume.
        QVERIFY(pane.reading());
        QVERIFY(pane.headerText().contains(QStringLiteral("読み込み中")));
        pane.showItem({"/fast", {"/fast", {}}, false, 9});
        fs->release.set_value();
        QVERIFY(settled(&pane));
        QCOMPARE(pane.shownText(), QStringLiteral("fast data"));
        QCOMPARE(shown.count(), 1);  // the slow item's late result was dropped
    }

    void fifoIsRefusedWithoutHoldingUpLaterPreviews()
    {
        const std::string fifo = dir->file("pipe");
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        PreviewPane pane(Services::defaults().previewFs);
        pane.showItem({fifo, {fifo, {}}, false, 0});
        QVERIFY(settled(&pane));
        QVERIFY2(pane.headerText().contains(QStringLiteral("読み込めません")), qPrintable(pane.headerText()));
        pane.showItem({file + ":notes", {file, "notes"}, false, 0});
        QVERIFY(settled(&pane));
        QVERIFY(pane.shownText().startsWith(QStringLiteral("first line")));
    }

    void detectionRowIsShown()
    {
        test::PageControl1(*form)->setCurrentIndex(1);
        form->setFolderPaneFolder(QString::fromStdString(dir->path()));
        form->FolderPaneDblClick();
        QTRY_VERIFY(!form->scanRunning());
        QAbstractItemModel* model = test::ListView1(*form)->model();
        int row = -1;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data().toString().endsWith(QStringLiteral(":notes")))
                row = r;
        QVERIFY(row > 0);
        test::ListView1(*form)->setCurrentIndex(model->index(row, 0));
        QVERIFY(settled(test::PreviewPane2(*form)));
        QVERIFY(test::PreviewPane2(*form)->shownText().startsWith(QStringLiteral("first line")));
        test::ListView1(*form)->setCurrentIndex(model->index(0, 0));
        QVERIFY(settled(test::PreviewPane2(*form)));
        QVERIFY(test::PreviewPane2(*form)->shownText().contains(QStringLiteral("50 4b 03 04")));
    }
};

QTEST_MAIN(PreviewWindowTest)
#include "preview_window_test.moc"
