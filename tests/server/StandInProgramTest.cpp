// The kova-standin program: options, the request log on stdout, stopping on SIGTERM.
#include "tests/server/StandInTestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;
using kova::test::fetch;

namespace {

const QString program = QStringLiteral(KOVA_BINARY_DIR "/server/kova-standin");

class StandInProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Starts the program on free ports; returns false when it does not come up.
    bool start(const QStringList& extra)
    {
        m_process.start(program, QStringList{u"--data"_s, m_dir.path(), u"--service-port"_s, u"0"_s,
                                             u"--version-port"_s, u"0"_s, u"--directory-port"_s, u"0"_s} +
                                     extra);
        if (!m_process.waitForStarted(5000))
            return false;
        static const QRegularExpression startLine(
            u"kova-standin: service http://127.0.0.1:(\\d+) version http://127.0.0.1:(\\d+) directory "_s
            u"http://127.0.0.1:(\\d+)"_s);
        while (m_process.waitForReadyRead(5000) || m_process.canReadLine()) {
            m_output += QString::fromUtf8(m_process.readAll());
            const auto m = startLine.match(m_output);
            if (m.hasMatch()) {
                m_servicePort = m.captured(1).toInt();
                m_directoryPort = m.captured(3).toInt();
                return true;
            }
        }
        return false;
    }

    QString stop()
    {
        m_process.terminate();
        EXPECT_TRUE(m_process.waitForFinished(5000));
        m_output += QString::fromUtf8(m_process.readAll());
        return m_output;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
    int m_servicePort = 0;
    int m_directoryPort = 0;
};

TEST_F(StandInProgram, RunsWithAFaultLogsEachRequestAndStopsOnSigterm)
{
    ASSERT_TRUE(start({u"--fault"_s, u"ErrorStatus"_s, u"--drop-prices"_s})) << qPrintable(m_output);
    EXPECT_EQ(fetch(m_servicePort, "/RandomUser.aspx").status, 500);
    EXPECT_EQ(fetch(m_servicePort, "/__control/fault?name=None").status, 200);
    const kova::test::Fetched account = fetch(m_servicePort, "/RandomUser.aspx");
    ASSERT_EQ(account.status, 200);
    const std::string user = account.lines.value(1).mid(6).toStdString();
    const std::string credentials = "u=" + user + "&p=mivra";
    fetch(m_servicePort, "/ListAll.aspx?word=test12&" + credentials);
    EXPECT_EQ(fetch(m_servicePort, "/OpFav.aspx?" + credentials + "&i=2").status, 200);
    // --drop-prices: a favorite added now is already a price-drop notice.
    const QString drops =
        fetch(m_servicePort, "/ListAllMyFav.aspx?" + credentials + "&d=down").lines.join(u'\n');
    EXPECT_EQ(drops.count(u"<TR>"_s), 2) << qPrintable(drops);

    const QString output = stop();
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_TRUE(output.contains(u"\nservice /RandomUser.aspx 500 cookie=\n"_s)) << qPrintable(output);
    EXPECT_TRUE(output.contains(u"\nservice /__control/fault?name=None 200 cookie="_s));
    EXPECT_TRUE(output.contains(u"kova-standin: stopped"_s));
    EXPECT_TRUE(QFile::exists(m_dir.filePath(u"standin.db"_s)));
}

TEST_F(StandInProgram, RejectsUnknownOptions)
{
    for (const QStringList& args : {QStringList{u"--bogus"_s}, QStringList{u"--fault"_s, u"Nope"_s},
                                    QStringList{u"--service-port"_s, u"70000"_s}, QStringList{u"--data"_s}}) {
        QProcess p;
        p.start(program, args);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitCode(), 2) << qPrintable(args.join(u' '));
        EXPECT_TRUE(p.readAllStandardError().contains("usage"));
    }
}

} // namespace
