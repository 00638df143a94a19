#pragma once
// One copy per user. The first copy holds an exclusive lock on a file named by the instance key in
// the user's private runtime folder and listens on a local socket beside it; a later copy finds the
// lock taken and asks the first, through that socket, to bring its window forward. The kernel
// drops the lock when the holding process ends, however it ends, so a crash leaves nothing that
// blocks the next start; a socket file left behind by a crash is replaced by the next first copy.

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include "platform/linux/fd.h"

class QLocalServer;

namespace tessaly {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Role {
        First,      // this copy holds the lock and runs
        Second,     // another copy of the same user holds it
        Unguarded,  // no private folder or lock could be had: this copy runs without the rule
    };

    // key: a fixed string (a GUID) that names the lock file and the socket.
    explicit SingleInstance(std::string key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, atomically: of two copies started at the same moment exactly one is First.
    // The lock descriptor is closed on exec, so programs started later do not inherit the lock.
    Role acquire();
    Role role() const { return role_; }

    // First copy: accepts requests from later copies, emitting activationRequested for each and
    // answering once the slots have run. Only the user may connect.
    bool listen();
    // Second copy: asks the first copy to bring its window forward and waits up to timeoutMs for
    // its answer. False when no copy answered (it may not be listening yet, or be gone).
    bool requestActivation(int timeoutMs = 3000) const;

    // Where the lock and the socket live; empty until acquire() has found the folder.
    const std::string& lockPath() const { return lockPath_; }
    const std::string& socketPath() const { return socketPath_; }
    // Why the copy runs unguarded or could not listen.
    const std::string& errorText() const { return error_; }

Q_SIGNALS:
    void activationRequested();

private:
    void serveConnection();

    std::string key_;
    Role role_ = Role::Unguarded;
    UniqueFd lock_;
    std::string lockPath_;
    std::string socketPath_;
    std::string error_;
    std::unique_ptr<QLocalServer> server_;
};

// The folder for the lock and the socket: $XDG_RUNTIME_DIR when it is a folder of this user that
// no one else can enter; otherwise a folder "tessaly-<uid>" of mode 0700 in the temporary folder,
// created when missing and refused when it is a link or belongs to someone else or others may
// enter it. Empty, with why in error, when neither can be had.
std::string PrivateRuntimeFolder(std::string* error = nullptr);

}  // namespace tessaly
