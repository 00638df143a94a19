#include "app/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <string>

#include "common/dialogs.h"
#include "common/texts.h"
#include "platform/cli_system.h"
#include "platform/window_system.h"

namespace tessaly {

namespace {
QString text(std::string_view t)
{
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}
}  // namespace

std::vector<std::string> RawArguments(int argc, char** argv)
{
    std::vector<std::string> out;
    for (int i = 1; i < argc; ++i)
        out.emplace_back(argv[i] ? argv[i] : "");
    return out;
}

std::string CurrentFolder()
{
    return CurrentFolderPath();
}

bool LoadToolkitTranslation(QCoreApplication& app)
{
    // The window is Japanese whatever the user's locale, so the toolkit's texts are too.
    // A build that carries the translation in itself (the Windows one) uses that copy; otherwise
    // the system's.
    auto* translator = new QTranslator(&app);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), QStringLiteral(":/tessaly/translations")) &&
        !translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

bool RefuseSecondCopy(InstanceGuard& instance, Dialogs& dialogs)
{
    switch (instance.acquire()) {
    case InstanceGuard::Role::First:
        return false;
    case InstanceGuard::Role::Unguarded:
        std::fprintf(stderr, "Tessaly: cannot check for another running copy (%s); starting anyway.\n",
                     instance.errorText().c_str());
        return false;
    case InstanceGuard::Role::Second:
        break;
    }
    // The box comes first; the running copy comes forward when the user has closed it. A copy
    // that does not answer (still starting, or just ending) changes nothing: this one ends anyway.
    dialogs.showMessage(nullptr, text(texts::AlreadyRunning), text(texts::ApplicationTitle));
    instance.requestActivation();
    return true;
}

void ServeActivationRequests(InstanceGuard& instance, QWidget& window)
{
    const auto windowId = [&window] { return std::uintptr_t(window.winId()); };
    if (!instance.serve(windowId, [&window] { BringToFront(window); }) && instance.role() == InstanceGuard::Role::First)
        std::fprintf(stderr, "Tessaly: later starts cannot reach this copy (%s).\n", instance.errorText().c_str());
}

void BringToFront(QWidget& window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace tessaly
