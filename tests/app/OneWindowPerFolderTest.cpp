// The built program started twice in one data folder: the later start hands over to the
// running window and ends with status 0 without touching kvdb.dat; after the running one is
// killed, the next start runs.
#include "app/SingleInstance.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using kova::SingleInstance;
using kova::test::waitUntil;

namespace {

const QString Program = QStringLiteral(KOVA_BINARY_DIR "/bin/kova");
const QString InitDb = QStringLiteral(KOVA_BINARY_DIR "/tools/kova-initdb");

class OneWindowPerFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("tmp")));
        ASSERT_EQ(QProcess::execute(InitDb, {database()}), 0);
    }

    QString database() const { return folder.filePath(QStringLiteral("kvdb.dat")); }

    std::unique_ptr<QProcess> start() const
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), folder.filePath(QStringLiteral("tmp")));
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(folder.path());
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(Program, {});
        EXPECT_TRUE(process->waitForStarted()) << process->errorString().toStdString();
        return process;
    }

    // The process holds the folder: the lock names it and its socket is there.
    bool holdsFolder(const QProcess& process) const
    {
        QFile lock(SingleInstance::lockFilePath(folder.path()));
        if (!lock.open(QIODevice::ReadOnly))
            return false;
        return lock.readLine().trimmed() == QByteArray::number(process.processId()) &&
               QFileInfo::exists(SingleInstance::serverName(folder.path()));
    }

    // A later start: ends by itself, with status 0.
    void expectHandsOver() const
    {
        const auto later = start();
        ASSERT_TRUE(later->waitForFinished(60000));
        EXPECT_EQ(later->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later->exitCode(), 0);
    }

    struct FileState {
        QByteArray bytes;
        QDateTime modified;
        bool operator==(const FileState&) const = default;
    };
    FileState databaseState() const
    {
        QFile file(database());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return {file.readAll(), QFileInfo(database()).lastModified()};
    }

    static void killHard(QProcess& process)
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(10000);
    }

    QTemporaryDir folder;
};

TEST_F(OneWindowPerFolder, LaterStartHandsOverAndKilledWindowFreesTheFolder)
{
    const auto first = start();
    ASSERT_TRUE(waitUntil([&] { return holdsFolder(*first); }, 60000));
    ASSERT_EQ(first->state(), QProcess::Running);

    expectHandsOver();
    EXPECT_EQ(first->state(), QProcess::Running);

    // With the first held still, whatever changes kvdb.dat now comes from the later start.
    ::kill(static_cast<pid_t>(first->processId()), SIGSTOP);
    const FileState before = databaseState();
    expectHandsOver();
    const FileState after = databaseState();
    ::kill(static_cast<pid_t>(first->processId()), SIGCONT);
    EXPECT_EQ(before.bytes.size(), after.bytes.size());
    EXPECT_TRUE(before.bytes == after.bytes) << "the later start changed kvdb.dat";
    EXPECT_EQ(before.modified, after.modified);

    // Killed, the first leaves its lock and socket behind; they do not block the next start.
    killHard(*first);
    ASSERT_TRUE(QFile::exists(SingleInstance::lockFilePath(folder.path())));
    const auto next = start();
    ASSERT_TRUE(waitUntil([&] { return holdsFolder(*next) || next->state() != QProcess::Running; }, 60000));
    ASSERT_EQ(next->state(), QProcess::Running) << "exit code " << next->exitCode();
    EXPECT_TRUE(holdsFolder(*next));
    expectHandsOver();
    EXPECT_EQ(next->state(), QProcess::Running);
    killHard(*next);
}

} // namespace
