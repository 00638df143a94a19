// Entry point: one copy per user, the application title, the main window and its message loop.

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "common/texts.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/unfinished.h"

int main(int argc, char* argv[])
{
    // Without a display the toolkit would only print a cryptic plugin error: say what to do instead.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "Tessaly needs a graphical display, and none was found (DISPLAY and WAYLAND_DISPLAY are unset).\n"
                     "On a machine without a screen, start it under a virtual display:\n"
                     "    xvfb-run -a %s [file]\n",
                     argv[0]);
        return 1;
    }
    // The paths come from argv's own bytes; the toolkit sees the program name only.
    const std::vector<std::string> arguments = tessaly::RawArguments(argc, argv);
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    if (!tessaly::LoadToolkitTranslation(app))
        std::fprintf(stderr, "Tessaly: the toolkit's Japanese translation is not installed (qt6-translations-l10n).\n");
    tessaly::Services services = tessaly::Services::defaults();
    tessaly::SingleInstance instance{std::string(tessaly::InstanceKey)};
    if (tessaly::RefuseSecondCopy(instance, *services.dialogs))
        return 0;
    // What saves of an earlier run that was killed left half done (hidden files beside their
    // targets, streams being created) goes before anything else is read.
    tessaly::CleanUnfinishedWrites();

    QApplication::setApplicationName(QString::fromUtf8(tessaly::texts::ApplicationTitle.data(),
                                                       qsizetype(tessaly::texts::ApplicationTitle.size())));
    tessaly::Form1 form(services, tessaly::CommandLineBytes(arguments));
    tessaly::ServeActivationRequests(instance, form);
    form.show();
    return app.exec() == 0 ? 0 : 1;
}
