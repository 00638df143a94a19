// Takes screenshots of the window's questions and file dialogs on a real X display, so that what
// the toolkit itself draws (buttons, dialogs, their questions) can be looked at by eye:
//     xvfb-run -a -s "-screen 0 1280x800x24" ./window_shots OUTDIR
// writes OUTDIR/quit.png, OUTDIR/open.png, OUTDIR/save_overwrite.png and OUTDIR/names.png (a name
// that looks like markup in the status bar, a folder whose name is not valid UTF-8 in the folder
// pane). Not a test: nothing is checked automatically.

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "app/form1.h"
#include "app/startup.h"
#include "support/tempdir.h"
#include "support/window_parts.h"

using namespace tessaly;

namespace {

QString outDir;

void shot(const char* name)
{
    const QString file = outDir + QLatin1Char('/') + QLatin1String(name);
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.toUtf8().constData());
    std::fflush(stdout);
}

// Runs step once the modal widget of the given type is up and has been drawn.
template <typename T>
void whenUp(std::function<void(T*)> step, int delayMs = 1200)
{
    QTimer::singleShot(delayMs, [step] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()))
            step(w);
        else
            std::printf("nothing to take\n");
    });
}

}  // namespace

int main(int argc, char** argv)
{
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    LoadToolkitTranslation(app);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    test::TempDir dir;
    Services services = Services::defaults();
    services.settingsFile = dir.file("Tessaly.ini");
    const std::string doc = dir.write("<b>big<br>name.txt", "hello");
    std::filesystem::create_directories(dir.file("bad\xff\x1bname/inner"));
    std::filesystem::create_directories(dir.file("ordinary"));
    const std::string existing = dir.write("既存のファイル.txt", "old");
    Form1 form(services, CommandLineBytes({doc}));
    form.resize(760, 480);
    form.move(60, 40);
    form.show();

    QTimer::singleShot(800, [&] {
        // The quit question (confirm on exit is on); answered no, so the window stays.
        test::CloseQuery1(form)->setChecked(true);
        whenUp<QMessageBox>([&](QMessageBox* box) {
            shot("quit.png");
            box->button(QMessageBox::No)->click();
            test::CloseQuery1(form)->setChecked(false);
            // The Open dialog, in the test's folder.
            form.settings().openDialogFolder = QString::fromStdString(dir.path());
            whenUp<QFileDialog>([&](QFileDialog* dialog) {
                shot("open.png");
                dialog->reject();
                // The Save dialog's question before an existing file is replaced.
                form.settings().saveDialogFileName = QString::fromStdString(existing);
                whenUp<QFileDialog>([&](QFileDialog* save) {
                    QMetaObject::invokeMethod(save, "accept", Qt::QueuedConnection);
                    whenUp<QMessageBox>([&, save](QMessageBox* question) {
                        shot("save_overwrite.png");
                        question->button(QMessageBox::No)->click();
                        save->reject();
                        form.setFolderPaneFolder(dir.file("bad\xff\x1bname"));
                        test::PageControl1(form)->setCurrentIndex(1);
                        test::FolderPane(form)->expand(test::FolderPane(form)->currentIndex());
                        QTimer::singleShot(1000, [&] {
                            shot("names.png");
                            app.quit();
                        });
                    });
                });
                form.SaveAs1Click();
            });
            form.Open1Click();
        });
        form.close();
    });
    return app.exec();
}
