#include "app/startup.h"

#include <QWidget>

#include <cstdio>
#include <string>

#include "app/dialogs.h"
#include "app/texts.h"
#include "platform/linux/single_instance.h"

namespace tessaly {

namespace {
QString text(std::string_view t)
{
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}
}  // namespace

bool RefuseSecondCopy(SingleInstance& instance, Dialogs& dialogs)
{
    switch (instance.acquire()) {
    case SingleInstance::Role::First:
        return false;
    case SingleInstance::Role::Unguarded:
        std::fprintf(stderr, "Tessaly: cannot check for another running copy (%s); starting anyway.\n",
                     instance.errorText().c_str());
        return false;
    case SingleInstance::Role::Second:
        break;
    }
    // The box comes first; the running copy comes forward when the user has closed it. A copy
    // that does not answer (still starting, or just ending) changes nothing: this one ends anyway.
    dialogs.showMessage(nullptr, text(texts::AlreadyRunning), text(texts::ApplicationTitle));
    instance.requestActivation();
    return true;
}

void ServeActivationRequests(SingleInstance& instance, QWidget& window)
{
    if (!instance.listen() && instance.role() == SingleInstance::Role::First)
        std::fprintf(stderr, "Tessaly: later starts cannot reach this copy (%s).\n", instance.errorText().c_str());
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, [&window] { BringToFront(window); });
}

void BringToFront(QWidget& window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace tessaly
