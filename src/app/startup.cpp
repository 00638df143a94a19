#include "app/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <unistd.h>

#include <cerrno>
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

std::vector<std::string> RawArguments(int argc, char** argv)
{
    std::vector<std::string> out;
    for (int i = 1; i < argc; ++i)
        out.emplace_back(argv[i] ? argv[i] : "");
    return out;
}

std::string CurrentFolder()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
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
