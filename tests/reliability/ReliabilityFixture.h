#pragma once

// Shared pieces of the fault and crash tests: a probe of the event loop's turns, the
// state of the picture cache and of the stored tables, and the driver program.

#include "tests/search/SearchFixture.h"

#include "service/PictureDownload.h"
#include "store/Connection.h"
#include "store/JpegLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <functional>
#include <vector>

namespace kova::test {

// Ticks every 20 ms and keeps the largest gap between two ticks that both fell while
// `busy` held (a network wait); the reading of a page after it arrives is not a wait.
class LoopProbe {
public:
    explicit LoopProbe(std::function<bool()> busy) : m_busy(std::move(busy))
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start(20);
    }
    qint64 largestGapMs() const { return m_largestGap; }
    int busyTicks() const { return m_busyTicks; }

private:
    void tick()
    {
        const qint64 now = m_clock.elapsed();
        const bool busy = m_busy();
        if (busy && m_lastBusy) {
            m_largestGap = std::max(m_largestGap, now - m_last);
            ++m_busyTicks;
        }
        m_last = now;
        m_lastBusy = busy;
    }

    std::function<bool()> m_busy;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    bool m_lastBusy = false;
    qint64 m_largestGap = 0;
    int m_busyTicks = 0;
};

// Every file in the picture cache is a whole picture under its final name: no part-written
// file, no temporary left behind.
inline ::testing::AssertionResult cacheHoldsOnlyWholePictures(const QString& tempDir)
{
    const QDir folder(tempDir + QStringLiteral("kvpic"));
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!info.fileName().endsWith(QStringLiteral(".jpg")))
            return ::testing::AssertionFailure() << "stray file " << info.fileName().toStdString();
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            return ::testing::AssertionFailure() << "unreadable " << info.fileName().toStdString();
        const QByteArray bytes = file.readAll();
        if (!isCompleteJpeg(bytes) || decodeJpeg(bytes).image.isNull())
            return ::testing::AssertionFailure() << "not a whole picture: " << info.fileName().toStdString();
    }
    return ::testing::AssertionSuccess();
}

// What the program keeps between searches and must never lose: the picture records, the
// settings record and the favorites (cxnr is emptied by design at each search, and word
// counts every search).
inline QString storedState(const TempDatabase& db)
{
    return db.scalar(
        QStringLiteral("select (select count(*) || ':' || coalesce(max(tpid), '') from tpb)"
                       " || '|' || (select group_concat(coalesce(ver,'') || coalesce(u,'') || coalesce(p,'') "
                       "|| coalesce(a,'')"
                       " || coalesce(b,''), ',') from xxb)"
                       " || '|' || (select count(*) || ':' || coalesce(max(ufid), '') from scnr)"));
}

inline QString driverProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kova-reliability-driver");
}

// The driver program started in the test's working folder, against the test's server.
class DriverProcess {
public:
    DriverProcess(const QString& program, const QString& workFolder, const QString& tempDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempDir);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(workFolder);
        m_process.setProgram(program);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~DriverProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    void start(const QStringList& args)
    {
        m_process.setArguments(args);
        m_process.start();
    }

    // Reads lines until `stop` says so (true), the program ends, or the time is up.
    bool readUntil(const std::function<bool(const QString&)>& stop, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                m_lines << line;
                if (stop(line))
                    return true;
            }
            if (m_process.state() == QProcess::NotRunning) {
                m_process.waitForFinished(0);
                drain();
                return false;
            }
            if (clock.elapsed() > timeoutMs)
                return false;
            m_process.waitForReadyRead(50);
        }
    }
    bool finish(int timeoutMs)
    {
        readUntil([](const QString&) { return false; }, timeoutMs);
        return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit;
    }
    void killHard()
    {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(10000);
        drain(); // lines written before the kill were posted before it
    }
    int exitCode() const { return m_process.exitCode(); }
    const QStringList& lines() const { return m_lines; }
    QStringList linesStartingWith(const QString& prefix) const
    {
        QStringList out;
        for (const QString& line : m_lines) {
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
        }
        return out;
    }

private:
    void drain()
    {
        const QList<QByteArray> rest = m_process.readAll().split('\n');
        for (const QByteArray& line : rest) {
            if (!line.trimmed().isEmpty())
                m_lines << QString::fromUtf8(line).trimmed();
        }
    }

    QProcess m_process;
    QStringList m_lines;
};

} // namespace kova::test
