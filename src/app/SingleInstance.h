// One running Ostrel per user: a lock file decides who runs, a local socket beside it carries
// the messages of later starts and other programs.
#pragma once

#include "app/InstanceMessage.h"

#include <QLocalServer>
#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ostrel {

struct InstancePaths
{
    QString lockFile;
    QString socketPath;
    QString error{}; // why the folder cannot be used; then nothing is locked or sent

    // $XDG_RUNTIME_DIR, else <temp>/ostrel-<uid>, made owner-only and refused when another
    // user could have made it; the name $OSTREL_INSTANCE_NAME (else "ostrel"), so tests can
    // run side by side.
    static InstancePaths forCurrentUser();
};

class InstanceServer final
{
public:
    enum class Result
    {
        Acquired,
        AlreadyRunning,
        Failed
    };
    using Handler = std::function<void(const InstanceMessage&)>;

    explicit InstanceServer(InstancePaths paths);
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Takes the lock (recovering a stale one) and listens. Messages are passed to `handler` on
    // the thread of the caller's event loop; each is acknowledged once the handler returned.
    Result acquire(Handler handler);
    QString errorText() const { return m_error; }
    // Messages of this kind are answered with a refusal and never reach the handler.
    void refuse(InstanceMessage::Kind kind) { m_refused.push_back(kind); }

private:
    void onNewConnection();

    InstancePaths m_paths;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    Handler m_handler;
    std::vector<InstanceMessage::Kind> m_refused;
    QString m_error;
};

// Sends one message to the running instance, retrying the connection for `connectTimeoutMs`
// (the holder of the lock may not listen yet), and waits for its acknowledgement.
bool sendToRunningInstance(const InstancePaths& paths, const InstanceMessage& message,
                           int connectTimeoutMs, QString* error);

} // namespace ostrel
