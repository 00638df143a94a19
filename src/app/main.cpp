// Entry point: one copy per user, the application title, the main window and its message loop.

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/form1.h"
#include "app/startup.h"
#include "app/texts.h"
#include "platform/cli_system.h"
#include "platform/window_system.h"

int main(int argc, char* argv[])
{
    if (!tessaly::DisplayAvailable(argv[0]))
        return 1;
    // The paths come from the system's own arguments (argv's bytes on Linux, UTF-16 on Windows);
    // the toolkit sees the program name only.
    const std::vector<std::string> arguments = tessaly::CommandLineArguments(argc, argv);
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    if (!tessaly::LoadToolkitTranslation(app))
        std::fprintf(stderr, "Tessaly: the toolkit's Japanese translation is not installed (qt6-translations-l10n).\n");
    tessaly::Services services = tessaly::Services::defaults();
    const std::unique_ptr<tessaly::InstanceGuard> instance = tessaly::MakeInstanceGuard(std::string(tessaly::InstanceKey));
    if (tessaly::RefuseSecondCopy(*instance, *services.dialogs))
        return 0;
    // What saves of an earlier run that was killed left half done goes before anything else is read.
    tessaly::CleanUpAtStart();

    QApplication::setApplicationName(QString::fromUtf8(tessaly::texts::ApplicationTitle.data(),
                                                       qsizetype(tessaly::texts::ApplicationTitle.size())));
    tessaly::Form1 form(services, tessaly::CommandLineBytes(arguments));
    tessaly::ServeActivationRequests(*instance, form);
    form.show();
    const int result = app.exec();
    instance->withdraw();
    return result == 0 ? 0 : 1;
}
