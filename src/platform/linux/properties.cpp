#include "platform/linux/properties.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QStringList>
#include <QUrl>

namespace tessaly {

namespace {
const QString FileManagerService = QStringLiteral("org.freedesktop.FileManager1");
constexpr int ReplyTimeoutMs = 10000;
}  // namespace

bool AskFileManagerForProperties(const std::string& path, std::function<void()> unanswered)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface* names = bus.interface();
    if (!names)
        return false;
    const bool owned = names->isServiceRegistered(FileManagerService).value();
    if (!owned && !names->activatableServiceNames().value().contains(FileManagerService))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(FileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       FileManagerService, QStringLiteral("ShowItemProperties"));
    const QString local = QFile::decodeName(QByteArray::fromStdString(path));
    call << QStringList{QUrl::fromLocalFile(local).toString(QUrl::FullyEncoded)} << QString();
    // Starting a file manager can take a while: the window does not wait for the answer.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, ReplyTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [unanswered = std::move(unanswered)](QDBusPendingCallWatcher* w) {
                         if (w->isError() && unanswered)
                             unanswered();
                         w->deleteLater();
                     });
    return true;
}

}  // namespace tessaly
