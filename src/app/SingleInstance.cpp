#include "app/SingleInstance.h"

#include "platform/PrivateFolder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#include <unistd.h>

namespace ostrel {
namespace {

QString runtimeFolder(QString& error)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QString::fromLocal8Bit(runtime);
    }
    // The temp folder is shared by every user: the folder is ours only if we made it so.
    QString folder = QDir::tempPath() + QStringLiteral("/ostrel-%1").arg(::geteuid());
    const std::string problem = ensurePrivateFolder(folder.toStdString());
    if (!problem.empty()) {
        error = QString::fromStdString(problem);
    }
    return folder;
}

} // namespace

InstancePaths InstancePaths::forCurrentUser()
{
    QString name = QString::fromLocal8Bit(qgetenv("OSTREL_INSTANCE_NAME"));
    if (name.isEmpty()) {
        name = QStringLiteral("ostrel");
    }
    QString error;
    const QString folder = runtimeFolder(error);
    return InstancePaths{folder + QLatin1Char('/') + name + QStringLiteral(".lock"),
                         folder + QLatin1Char('/') + name + QStringLiteral(".sock"), error};
}

InstanceServer::InstanceServer(InstancePaths paths)
    : m_paths(std::move(paths)), m_lock(m_paths.lockFile)
{
    // A holder that died leaves its PID in the lock; QLockFile sees the dead process at once.
    m_lock.setStaleLockTime(0);
}

InstanceServer::~InstanceServer()
{
    if (m_server) {
        m_server->close();
    }
}

InstanceServer::Result InstanceServer::acquire(Handler handler)
{
    if (!m_paths.error.isEmpty()) {
        m_error = m_paths.error;
        return Result::Failed;
    }
    if (!m_lock.tryLock(200)) {
        if (m_lock.error() == QLockFile::LockFailedError) {
            return Result::AlreadyRunning;
        }
        m_error = QStringLiteral("cannot create the lock file %1").arg(m_paths.lockFile);
        return Result::Failed;
    }
    m_handler = std::move(handler);
    // We hold the lock, so a socket file left behind by a killed instance is ours to remove.
    QLocalServer::removeServer(m_paths.socketPath);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_paths.socketPath)) {
        m_error = QStringLiteral("cannot listen on %1: %2")
                      .arg(m_paths.socketPath, m_server->errorString());
        m_server.reset();
        m_lock.unlock();
        return Result::Failed;
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(),
                     [this] { onNewConnection(); });
    return Result::Acquired;
}

void InstanceServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() < static_cast<qint64>(kInstanceFrameSize)) {
                return;
            }
            const QByteArray frame = socket->read(kInstanceFrameSize);
            const auto message =
                decodeInstanceMessage(std::string_view(frame.constData(), frame.size()));
            if (message &&
                std::find(m_refused.begin(), m_refused.end(), message->kind) != m_refused.end()) {
                socket->write(&kInstanceRefused, 1);
                socket->flush();
            } else if (message && m_handler) {
                m_handler(*message);
                socket->write(&kInstanceAck, 1);
                socket->flush();
            }
            // A frame we cannot read ends that connection, never the program.
            socket->disconnectFromServer();
        });
    }
}

bool sendToRunningInstance(const InstancePaths& paths, const InstanceMessage& message,
                           int connectTimeoutMs, QString* error)
{
    if (!paths.error.isEmpty()) {
        if (error != nullptr) {
            *error = paths.error;
        }
        return false;
    }
    QLocalSocket socket;
    const QDeadlineTimer deadline(connectTimeoutMs);
    while (true) {
        socket.connectToServer(paths.socketPath);
        if (socket.waitForConnected(200)) {
            break;
        }
        if (deadline.hasExpired()) {
            if (error != nullptr) {
                *error = QStringLiteral("no running instance answers on %1").arg(paths.socketPath);
            }
            return false;
        }
        QThread::msleep(100);
    }
    const auto frame = encodeInstanceMessage(message);
    socket.write(frame.data(), static_cast<qint64>(frame.size()));
    if (!socket.waitForBytesWritten(2000)) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot send to the running instance");
        }
        return false;
    }
    // The running instance acknowledges once it has handled the message.
    const QDeadlineTimer ackDeadline(10000);
    while (socket.bytesAvailable() < 1 && !ackDeadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(ackDeadline.remainingTime()))) {
            break;
        }
    }
    char ack = 0;
    const bool answered = socket.read(&ack, 1) == 1;
    if (answered && ack == kInstanceRefused) {
        if (error != nullptr) {
            *error = message.kind == InstanceMessage::Kind::Exit
                         ? QStringLiteral("the running instance is an 'ostrel --once' run, which "
                                          "cannot be ended with --send exit; it ends when its "
                                          "run is over (SIGTERM stops it after the records in "
                                          "flight)")
                     : message.wantsWindows()
                         ? QStringLiteral("the running instance has no windows (ostrel "
                                          "--headless, --once, --scan or --test); end it and "
                                          "start 'ostrel' in the desktop session")
                         : QStringLiteral("the running instance refused the message");
        }
        return false;
    }
    if (!answered || ack != kInstanceAck) {
        if (error != nullptr) {
            *error = QStringLiteral("the running instance did not acknowledge");
        }
        return false;
    }
    return true;
}

} // namespace ostrel
