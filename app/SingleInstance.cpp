#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QThread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

namespace kova {
namespace {

const QByteArray ActivateMessage = QByteArrayLiteral("activate\n");

// A file descriptor, closed when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            UniqueFd gone(std::exchange(m_fd, std::exchange(other.m_fd, -1)));
        }
        return *this;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// The address of the socket `name`; none when the path does not fit in one.
std::optional<sockaddr_un> socketAddress(const QString& name)
{
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    return address;
}

UniqueFd streamSocket(int flags)
{
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0));
}

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

// The listening socket of the first start, watched by the event loop. The connections of
// later starts are read by notifiers that are children of the SingleInstance.
class SingleInstance::Listener {
public:
    UniqueFd socket;
    QByteArray path;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Listener()
    {
        notifier.reset();
        if (socket.valid())
            ::unlink(path.constData());
    }
};

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
    // When it cannot listen, later starts still end, only unanswered.
    const auto address = socketAddress(serverName(m_folder));
    if (!address)
        return;
    auto listener = std::make_unique<Listener>();
    listener->path = QByteArray(address->sun_path);
    ::unlink(listener->path.constData());
    UniqueFd fd = streamSocket(SOCK_NONBLOCK);
    if (!fd.valid() || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        return;
    // Only this user may ask for the window; nobody can connect before listen().
    if (::chmod(listener->path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd.get(), 8) != 0) {
        ::unlink(listener->path.constData());
        return;
    }
    listener->notifier = std::make_unique<QSocketNotifier>(fd.get(), QSocketNotifier::Read);
    connect(listener->notifier.get(), &QSocketNotifier::activated, this, &SingleInstance::accept);
    listener->socket = std::move(fd);
    m_listener = std::move(listener);
}

SingleInstance::~SingleInstance()
{
    m_listener.reset(); // closes the socket and removes its name
    if (m_lock && m_role == Role::First)
        m_lock->unlock();
}

void SingleInstance::accept()
{
    for (;;) {
        auto connection = std::make_shared<UniqueFd>(
            ::accept4(m_listener->socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!connection->valid())
            return; // none waiting (EAGAIN) or it went already
        // Read as the bytes come; the connection is dropped at its end, on an error, or when
        // it sends more than one of ours would.
        auto* notifier = new QSocketNotifier(connection->get(), QSocketNotifier::Read, this);
        auto pending = std::make_shared<QByteArray>();
        auto readSome = [this, notifier, connection, pending] {
            char buffer[64];
            bool open = true;
            for (;;) {
                const ssize_t n = ::read(connection->get(), buffer, sizeof buffer);
                if (n > 0) {
                    pending->append(buffer, n);
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
                break;
            }
            qsizetype end;
            while ((end = pending->indexOf('\n')) >= 0) {
                if (pending->left(end + 1) == ActivateMessage)
                    emit activationRequested();
                pending->remove(0, end + 1);
            }
            if (!open || pending->size() > ActivateMessage.size()) {
                notifier->setEnabled(false);
                notifier->deleteLater(); // with it the connection, held by this function
            }
        };
        connect(notifier, &QSocketNotifier::activated, this, readSome);
        readSome(); // the message may have come with the connection
    }
}

bool SingleInstance::activateFirst(int waitMs) const
{
    const auto address = socketAddress(serverName(m_folder));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        UniqueFd socket = streamSocket(0);
        if (address && socket.valid() &&
            ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
            // A Unix socket's buffer takes the whole message at once.
            const ssize_t sent = ::send(socket.get(), ActivateMessage.constData(),
                                        static_cast<size_t>(ActivateMessage.size()), MSG_NOSIGNAL);
            if (sent == ActivateMessage.size())
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QThread::msleep(100); // the first start takes its lock just before it listens
    }
}

} // namespace kova
