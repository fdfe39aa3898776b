// The CSV bytes with hostile cells (formulas, bidi controls, quotes), and the whole-or-nothing
// save, also onto a full disk: a child process with a file size limit.
#include "store/Csv.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kova {
namespace {

QString line(const QByteArray& bytes, int index)
{
    return QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n")).at(index);
}

TEST(CsvCells, FormulasInTextAndNumberColumnsAreInertAndPlainNumbersAreKept)
{
    const QList<CsvColumn> kinds{CsvColumn::Text, CsvColumn::Number};
    const auto row = [&](const QString& text, const QString& number) {
        return line(CsvBytes({QStringLiteral("名称"), QStringLiteral("价格")}, {{text, number}}, kinds), 1);
    };
    EXPECT_EQ(row(QStringLiteral("=HYPERLINK(\"http://evil.example/\",\"click\")"), QStringLiteral("-5")),
              QStringLiteral("\"'=HYPERLINK(\"\"http://evil.example/\"\",\"\"click\"\")\",-5"));
    EXPECT_EQ(row(QStringLiteral("=1+1"), QStringLiteral("=1+1")), QStringLiteral("'=1+1,'=1+1"));
    EXPECT_EQ(row(QStringLiteral("+2*3"), QStringLiteral("+5")), QStringLiteral("'+2*3,'+5"));
    EXPECT_EQ(row(QStringLiteral("-1+2"), QStringLiteral("-1+2")), QStringLiteral("'-1+2,'-1+2"));
    EXPECT_EQ(row(QStringLiteral("@SUM(A1:A2)"), QStringLiteral("58.50")),
              QStringLiteral("'@SUM(A1:A2),58.50"));
    EXPECT_EQ(row(QStringLiteral("\t=1"), QStringLiteral("1e308")), QStringLiteral("'\t=1,1e308"));
    EXPECT_EQ(row(QStringLiteral("\r=1"), QStringLiteral("abc")), QStringLiteral("\"'\r=1\",abc"));
    // Blanks and invisible characters before the formula do not hide it.
    EXPECT_EQ(row(QStringLiteral("  =1+1"), QStringLiteral("-0.5")), QStringLiteral("'  =1+1,-0.5"));
    EXPECT_EQ(row(QStringLiteral("\u200B=1"), QStringLiteral("1,299.00")),
              QStringLiteral("'\u200B=1,\"1,299.00\""));
    // Plain text, a minus inside, an empty cell: as they were.
    EXPECT_EQ(row(QStringLiteral("小米 14 - 黑色"), QString()), QStringLiteral("小米 14 - 黑色,"));
    // A line-feed-led cell is a quoted cell whose text starts with the quote mark.
    const QByteArray lf = CsvBytes({QStringLiteral("名称")}, {{QStringLiteral("\n=1+1")}});
    EXPECT_EQ(lf, QByteArray("\xEF\xBB\xBF") + "\xE5\x90\x8D\xE7\xA7\xB0\r\n\"'\n=1+1\"\r\n");
}

TEST(CsvCells, BidiControlsAreTakenOutOfTextCellsThenFormulasAreCaught)
{
    QString spoof = QStringLiteral("正品\u202Egpj.exe\u202C");
    for (const char16_t c : {u'\u202A', u'\u202B', u'\u202D', u'\u2066', u'\u2067', u'\u2068', u'\u2069'})
        spoof += QChar(c);
    EXPECT_EQ(CsvCell(spoof, CsvColumn::Text), QStringLiteral("正品gpj.exe"));
    EXPECT_EQ(CsvCell(QStringLiteral("\u202E=1+1"), CsvColumn::Number), QStringLiteral("'=1+1"));
    EXPECT_EQ(CsvCell(QStringLiteral("\u2069-3"), CsvColumn::Text), QStringLiteral("'-3"));
    // Not bidi controls: the marks U+200E/U+200F and the neighbours of the ranges stay.
    EXPECT_EQ(CsvCell(QStringLiteral("a\u200Eb\u2029c\u206Ad"), CsvColumn::Text),
              QStringLiteral("a\u200Eb\u2029c\u206Ad"));
}

class SaveWholeFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("export.csv")); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    void writeOld() const
    {
        QFile old(path());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(Old);
    }
    QByteArray contents() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Saves in a child process that may write at most `limit` bytes into any file, as a
    // full disk would allow. Returns the reason the child got ("" for success).
    QString saveWithSizeLimit(const QByteArray& bytes, rlim_t limit) const
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return QStringLiteral("<no pipe>");
        const pid_t child = fork();
        if (child == 0) {
            close(pipeFds[0]);
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
            const rlimit small{limit, limit};
            setrlimit(RLIMIT_FSIZE, &small);
            const QByteArray reason = SaveWholeFile(path(), bytes).value_or(QString()).toUtf8();
            const ssize_t sent = write(pipeFds[1], reason.constData(), static_cast<size_t>(reason.size()));
            _exit(sent == reason.size() ? 0 : 1);
        }
        close(pipeFds[1]);
        QByteArray reason;
        char buffer[512];
        for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            reason.append(buffer, n);
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        return QString::fromUtf8(reason);
    }

    static inline const QByteArray Old = "\xEF\xBB\xBF旧的导出,1\r\n";
    QTemporaryDir dir;
};

TEST_F(SaveWholeFileTest, ReplacesTheOldFileWhenEveryByteIsWritten)
{
    writeOld();
    const QByteArray big(300 * 1024 + 7, 'x'); // several chunks
    EXPECT_EQ(SaveWholeFile(path(), big), std::nullopt);
    EXPECT_EQ(contents(), big);
    EXPECT_EQ(files(), QStringList{QStringLiteral("export.csv")});
}

TEST_F(SaveWholeFileTest, AFullDiskKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    writeOld();
    // Cut inside the first chunk, at a chunk's end, and after several chunks.
    for (const rlim_t limit : {rlim_t{1000}, rlim_t{64 * 1024}, rlim_t{200 * 1024}}) {
        const QString reason = saveWithSizeLimit(QByteArray(300 * 1024, 'y'), limit);
        EXPECT_TRUE(reason.startsWith(QStringLiteral("磁盘空间不足，文件未能写完")))
            << limit << " " << reason.toStdString();
        EXPECT_TRUE(contents() == Old) << limit << ": " << contents().size() << " bytes";
        EXPECT_EQ(files(), QStringList{QStringLiteral("export.csv")}) << limit;
    }
    // The same child without a limit succeeds: the limit made the failure.
    EXPECT_EQ(saveWithSizeLimit("new", RLIM_INFINITY), QString());
    EXPECT_EQ(contents(), "new");
}

TEST_F(SaveWholeFileTest, AFolderThatIsNotThereIsAReasonAndNothingIsMade)
{
    const QString missing = dir.filePath(QStringLiteral("no/such/x.csv"));
    const std::optional<QString> reason = SaveWholeFile(missing, "a");
    ASSERT_TRUE(reason.has_value());
    EXPECT_FALSE(reason->isEmpty());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_FALSE(QFile::exists(missing));
}

} // namespace
} // namespace kova
