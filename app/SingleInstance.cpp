#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <chrono>

namespace kova {
namespace {

const QByteArray ActivateMessage = QByteArrayLiteral("activate\n");

QString canonicalFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir(folder).absolutePath() : canonical;
}

// Where the socket lives: the user's runtime folder when the desktop names one, else the
// system's temporary folder. Not QDir::tempPath(): TMPDIR differs between a start from the
// launcher (which sets it when it is unset) and one from a shell that has it set, and both
// starts must find the same socket.
QString socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    return QStringLiteral("/tmp");
}

} // namespace

QString SingleInstance::lockFilePath(const QString& folder)
{
    return canonicalFolder(folder) + QStringLiteral("/.kova.lock");
}

QString SingleInstance::serverName(const QString& folder)
{
    // A Unix socket path has about a hundred bytes: the folder's path goes in as a hash.
    const QByteArray hash =
        QCryptographicHash::hash(canonicalFolder(folder).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(24);
    return socketFolder() + QStringLiteral("/kova-") + QString::fromLatin1(hash);
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(canonicalFolder(folder))
{
    m_lock = std::make_unique<QLockFile>(lockFilePath(m_folder));
    // Never stale by age: only a lock whose process no longer runs is taken over.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            m_role = Role::Second;
            return;
        }
        m_role = Role::Unlocked;
        return;
    }
    m_role = Role::First;

    // The lock is ours, so a socket of the same name was left by an earlier, killed start.
    const QString name = serverName(m_folder);
    QLocalServer::removeServer(name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
    m_server->listen(name); // when it cannot, later starts still end, only unanswered
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    m_server.reset();
    if (m_lock && m_role == Role::First)
        m_lock->unlock();
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        read(socket); // the message may have come with the connection
    }
}

void SingleInstance::read(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        if (socket->readLine() == ActivateMessage)
            emit activationRequested();
    }
    if (socket->bytesAvailable() > ActivateMessage.size())
        socket->abort(); // not one of ours
}

bool SingleInstance::activateFirst(int waitMs) const
{
    const QString name = serverName(m_folder);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(1000)) {
            socket.write(ActivateMessage);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
            }
            const bool sent = socket.bytesToWrite() == 0;
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(1000);
            if (sent)
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QThread::msleep(100); // the first start takes its lock just before it listens
    }
}

} // namespace kova
