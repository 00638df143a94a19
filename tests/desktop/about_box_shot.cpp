// Shows the About box over the main window on a real X display and paints it twice, 4 seconds
// apart, printing each colour, so that the gradient can be looked at by eye in screenshots:
//     xvfb-run -a -s "-screen 0 1280x800x24" sh -c './about_box_shot & sleep 4;
//         xwd -root -silent | convert xwd:- a.png; sleep 4; xwd -root -silent | convert xwd:- b.png; wait'
// Not a test: nothing is checked automatically.

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "app/form1.h"
#include "desktop/about_box.h"
#include "support/tempdir.h"

using namespace tessaly;

namespace {
constexpr int PauseMs = 4000;
}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    test::TempDir settings;
    Services services = Services::defaults();
    services.settingsFile = settings.file("Tessaly.ini");
    Form1 form(services, {});
    form.show();
    const auto report = [](AboutBox* box) {
        std::printf("paint %d: colour %06x %s\n", box->paintCount(), box->lastGradient().colour,
                    box->lastGradient().horizontal() ? "left to right" : "top to bottom");
        std::fflush(stdout);
    };
    QTimer::singleShot(500, &form, [&] {
        // The box is modal: what follows runs inside its own event loop.
        QTimer::singleShot(2000, &form, [&] {
            auto* box = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
            if (!box)
                return app.exit(1);
            report(box);
            QTimer::singleShot(PauseMs, box, [&, box] {
                box->repaint();
                report(box);
                QTimer::singleShot(PauseMs, box, [&, box] {
                    box->okButton()->click();
                    form.close();
                });
            });
        });
        form.About1Click();
    });
    return app.exec();
}
