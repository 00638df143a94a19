#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QByteArray>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace tessaly {

namespace {

constexpr QByteArrayView Request = "activate\n";
constexpr QByteArrayView Answer = "ok\n";

// A folder of ours that nobody else can enter or replace: owned by us, no group or other
// permissions, and (in a shared place) not a link.
bool isPrivateFolder(const std::string& path, bool followLink, std::string& why)
{
    struct stat st {};
    if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        why = path + ": not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        why = path + ": belongs to another user";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        why = path + ": other users may enter it";
        return false;
    }
    return true;
}

}  // namespace

std::string PrivateRuntimeFolder(const std::string& base, std::string* error)
{
    std::string why;
    const std::string folder = base + "/tessaly-" + std::to_string(::geteuid());
    // mkdir never follows a link at the final name; a folder that already exists is checked below.
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = folder + ": " + std::strerror(errno);
    } else if (isPrivateFolder(folder, false, why)) {
        return folder;
    }
    if (error)
        *error = why;
    return {};
}

SingleInstance::SingleInstance(std::string key, std::string base, QObject* parent)
    : QObject(parent), key_(std::move(key)), base_(std::move(base))
{
}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();  // removes the socket file
}

SingleInstance::Role SingleInstance::acquire()
{
    const std::string folder = PrivateRuntimeFolder(base_, &error_);
    if (folder.empty())
        return role_ = Role::Unguarded;
    lockPath_ = folder + "/" + key_ + ".lock";
    // The folder already names the user; the socket's whole path must stay within the 107 bytes
    // that a local socket address holds.
    socketPath_ = folder + "/" + key_ + ".socket";

    lock_ = UniqueFd(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_.valid()) {
        error_ = lockPath_ + ": " + std::strerror(errno);
        return role_ = Role::Unguarded;
    }
    int rc;
    do
        rc = ::flock(lock_.get(), LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return role_ = Role::First;
    const int err = errno;
    lock_.reset();
    if (err == EWOULDBLOCK)
        return role_ = Role::Second;
    error_ = lockPath_ + ": " + std::strerror(err);
    return role_ = Role::Unguarded;
}

bool SingleInstance::listen()
{
    if (role_ != Role::First)
        return false;
    if (socketPath_.size() >= sizeof(sockaddr_un::sun_path)) {
        error_ = socketPath_ + ": " + std::strerror(ENAMETOOLONG);
        return false;
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = QFile::decodeName(QByteArray::fromStdString(socketPath_));
    // Holding the lock, we are the only copy: a socket file here is left over from a copy that
    // crashed, and nobody serves it any more.
    QLocalServer::removeServer(path);
    if (!server_->listen(path)) {
        error_ = socketPath_ + ": " + server_->errorString().toStdString();
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
    return true;
}

void SingleInstance::serveConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A request is one short line; anything else is dropped without an answer.
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 64)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(64);
            if (line == Request) {
                Q_EMIT activationRequested();
                socket->write(Answer.data(), Answer.size());
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::requestActivation(int timeoutMs) const
{
    if (socketPath_.empty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(QFile::decodeName(QByteArray::fromStdString(socketPath_)));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(Request.data(), Request.size());
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.readLine(64) == Answer;
}

bool SingleInstance::serve(const std::function<std::uintptr_t()>&, std::function<void()> activate)
{
    connect(this, &SingleInstance::activationRequested, this, std::move(activate));
    return listen();
}

std::unique_ptr<InstanceGuard> MakeInstanceGuard(const std::string& key)
{
    return std::make_unique<SingleInstance>(key);
}

}  // namespace tessaly
