// One window per data folder: the lock and the local socket of SingleInstance, without a
// window; bringing a window to the front.
#include "app/KovaMain.h"
#include "app/SingleInstance.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

using kova::SingleInstance;
using kova::test::settle;
using kova::test::waitUntil;
using Role = kova::SingleInstance::Role;

namespace {

// Counts the activation requests that reach `instance`.
struct Requests {
    explicit Requests(SingleInstance& instance)
    {
        QObject::connect(&instance, &SingleInstance::activationRequested, &instance, [this] { ++count; });
    }
    int count = 0;
};

// A new start takes the folder, and a start after it reaches it.
void expectTakenOverAndAnswering(const QString& folder)
{
    SingleInstance next(folder);
    ASSERT_EQ(next.role(), Role::First);
    Requests requests(next);
    SingleInstance later(folder);
    EXPECT_EQ(later.role(), Role::Second);
    ASSERT_TRUE(later.activateFirst());
    EXPECT_TRUE(waitUntil([&] { return requests.count == 1; }));
}

TEST(SingleInstance, FirstHoldsTheFolderAndALaterStartReachesIt)
{
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    ASSERT_EQ(first.role(), Role::First);
    EXPECT_TRUE(QFile::exists(SingleInstance::lockFilePath(folder.path())));
    Requests requests(first);

    {
        SingleInstance second(folder.path());
        EXPECT_EQ(second.role(), Role::Second);
        ASSERT_TRUE(second.activateFirst());
        EXPECT_TRUE(waitUntil([&] { return requests.count == 1; }));
    }
    // A later start going away leaves the folder to the first.
    EXPECT_TRUE(QFile::exists(SingleInstance::lockFilePath(folder.path())));
    SingleInstance third(folder.path() + QStringLiteral("/./"));
    EXPECT_EQ(third.role(), Role::Second);
    ASSERT_TRUE(third.activateFirst());
    EXPECT_TRUE(waitUntil([&] { return requests.count == 2; }));

    // Another folder is another window.
    QTemporaryDir other;
    SingleInstance elsewhere(other.path());
    EXPECT_EQ(elsewhere.role(), Role::First);
    EXPECT_NE(SingleInstance::serverName(other.path()), SingleInstance::serverName(folder.path()));
}

TEST(SingleInstance, SocketNameStaysShortForADeepFolder)
{
    QTemporaryDir root;
    QString deep = root.path();
    for (int i = 0; i < 12; ++i)
        deep += QStringLiteral("/a-rather-long-folder-name-%1").arg(i);
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_GT(deep.size(), 300);

    SingleInstance first(deep);
    ASSERT_EQ(first.role(), Role::First);
    EXPECT_LT(SingleInstance::serverName(deep).toUtf8().size(), 100);
    Requests requests(first);
    SingleInstance second(deep);
    EXPECT_EQ(second.role(), Role::Second);
    ASSERT_TRUE(second.activateFirst());
    EXPECT_TRUE(waitUntil([&] { return requests.count == 1; }));
}

TEST(SingleInstance, FolderIsFreeAgainOnceTheFirstHasGone)
{
    QTemporaryDir folder;
    {
        SingleInstance first(folder.path());
        ASSERT_EQ(first.role(), Role::First);
    }
    EXPECT_FALSE(QFile::exists(SingleInstance::lockFilePath(folder.path())));

    expectTakenOverAndAnswering(folder.path());
}

// A raw connection to the first start's socket, as another program could open one.
class RawConnection {
public:
    explicit RawConnection(const QString& folder) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        const QByteArray path = QFile::encodeName(SingleInstance::serverName(folder));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        m_connected = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawConnection() { ::close(m_fd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    bool connected() const { return m_connected; }
    bool send(const QByteArray& bytes)
    {
        return ::send(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) ==
               bytes.size();
    }

private:
    int m_fd;
    bool m_connected = false;
};

TEST(SingleInstance, OnlyTheWholeMessageAsksForTheWindow)
{
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    ASSERT_EQ(first.role(), Role::First);
    Requests requests(first);

    {
        // Something else, longer than the message; then the message cut short by the close.
        RawConnection stranger(folder.path());
        ASSERT_TRUE(stranger.connected());
        EXPECT_TRUE(stranger.send(QByteArrayLiteral("GET / HTTP/1.0\r\nHost: kova\r\n\r\n")));
        RawConnection cut(folder.path());
        ASSERT_TRUE(cut.connected());
        EXPECT_TRUE(cut.send(QByteArrayLiteral("activ")));
        settle(200);
    }
    settle(100);
    EXPECT_EQ(requests.count, 0);

    // The message in two pieces is one request.
    RawConnection split(folder.path());
    ASSERT_TRUE(split.connected());
    ASSERT_TRUE(split.send(QByteArrayLiteral("acti")));
    settle(50);
    ASSERT_TRUE(split.send(QByteArrayLiteral("vate\n")));
    EXPECT_TRUE(waitUntil([&] { return requests.count == 1; }));

    // The strangers did not stop the socket from answering.
    SingleInstance later(folder.path());
    ASSERT_TRUE(later.activateFirst());
    EXPECT_TRUE(waitUntil([&] { return requests.count == 2; }));
    settle(50);
    EXPECT_EQ(requests.count, 2);
}

TEST(SingleInstance, LockOfAKilledProcessDoesNotBlock)
{
    // A process that is gone: started, killed hard and reaped.
    QProcess gone;
    gone.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ASSERT_TRUE(gone.waitForFinished());

    // Its lock, as QLockFile writes one: process id, program name, host name.
    QTemporaryDir folder;
    {
        QFile lock(SingleInstance::lockFilePath(folder.path()));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + '\n' + QCoreApplication::applicationName().toUtf8() + '\n' +
                   QSysInfo::machineHostName().toUtf8() + '\n');
    }

    expectTakenOverAndAnswering(folder.path());
}

TEST(SingleInstance, LaterStartEndsWhenTheHolderDoesNotAnswer)
{
    // The folder held by a running program (this one) that does not listen.
    QTemporaryDir folder;
    {
        QFile lock(SingleInstance::lockFilePath(folder.path()));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                   QCoreApplication::applicationName().toUtf8() + '\n' +
                   QSysInfo::machineHostName().toUtf8() + '\n');
    }
    SingleInstance later(folder.path());
    EXPECT_EQ(later.role(), Role::Second);
    EXPECT_FALSE(later.activateFirst(0));
    EXPECT_TRUE(QFile::exists(SingleInstance::lockFilePath(folder.path())));
}

TEST(BringToFront, RestoresAMinimizedWindowToItsFormerState)
{
    QWidget normal;
    normal.showMinimized();
    ASSERT_TRUE(normal.isMinimized());
    kova::bringToFront(normal);
    EXPECT_FALSE(normal.isMinimized());
    EXPECT_TRUE(normal.isVisible());
    EXPECT_FALSE(normal.isMaximized());

    QWidget maximized;
    maximized.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    maximized.show();
    kova::bringToFront(maximized);
    EXPECT_FALSE(maximized.isMinimized());
    EXPECT_TRUE(maximized.isMaximized());

    QWidget hidden;
    kova::bringToFront(hidden);
    EXPECT_TRUE(hidden.isVisible());
}

} // namespace
