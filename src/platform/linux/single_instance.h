#pragma once
// One copy per user. The first copy holds an exclusive lock on a file named by the instance key in
// a private folder named by the user's id, and listens on a local socket beside it; a later copy
// finds the lock taken and asks the first, through that socket, to bring its window forward. The
// folder is found from the user's id alone, never from the environment: a start from a terminal
// after su, over ssh or from cron finds the same folder as one from the desktop session. The kernel
// drops the lock when the holding process ends, however it ends, so a crash leaves nothing that
// blocks the next start; a socket file left behind by a crash is replaced by the next first copy.

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include "platform/linux/fd.h"
#include "platform/window_system.h"

class QLocalServer;

namespace tessaly {

// The shared folder that holds each user's private folder for the one-copy rule.
inline constexpr const char* InstanceBaseFolder = "/tmp";

class SingleInstance final : public QObject, public InstanceGuard {
    Q_OBJECT

public:
    // key: a fixed string (a GUID) that names the lock file and the socket; base: the shared folder
    // that holds the user's private one (tests give each run a key of its own).
    explicit SingleInstance(std::string key, std::string base = InstanceBaseFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, atomically: of two copies started at the same moment exactly one is First.
    // The lock descriptor is closed on exec, so programs started later do not inherit the lock.
    Role acquire() override;
    Role role() const override { return role_; }

    // First copy: accepts requests from later copies, emitting activationRequested for each and
    // answering once the slots have run. Only the user may connect.
    bool listen();
    // Second copy: asks the first copy to bring its window forward and waits up to timeoutMs for
    // its answer. False when no copy answered (it may not be listening yet, or be gone).
    bool requestActivation(int timeoutMs = 3000) const override;
    // listen(), with activate run for each request. The window needs no mark: the socket finds it.
    bool serve(const std::function<std::uintptr_t()>& window, std::function<void()> activate) override;

    // Where the lock and the socket live; empty until acquire() has found the folder.
    const std::string& lockPath() const { return lockPath_; }
    const std::string& socketPath() const { return socketPath_; }
    // Why the copy runs unguarded or could not listen.
    const std::string& errorText() const override { return error_; }

Q_SIGNALS:
    void activationRequested();

private:
    void serveConnection();

    std::string key_;
    std::string base_;
    Role role_ = Role::Unguarded;
    UniqueFd lock_;
    std::string lockPath_;
    std::string socketPath_;
    std::string error_;
    std::unique_ptr<QLocalServer> server_;
};

// The folder for the lock and the socket: "tessaly-<uid>" of mode 0700 in base, created when
// missing and refused when it is a link, belongs to someone else or others may enter it. Empty,
// with why in error, when it cannot be had. Nothing of the environment (XDG_RUNTIME_DIR, TMPDIR)
// has a say, so every start of the user finds the same folder.
std::string PrivateRuntimeFolder(const std::string& base = InstanceBaseFolder, std::string* error = nullptr);

}  // namespace tessaly
