// Today's page path against the frozen one (ReferenceSerializer): every input must give
// the same lines, the same count and the same failed mark. Inputs: the fuzz seed corpora,
// the pages of tests/service/data, pages written here to reach the corners of the path,
// and the stand-in server's pages, each with no charset, GBK and UTF-8 declared.
#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "service/PageText.h"
#include "service/Requests.h"
#include "store/Gbk.h"
#include "tests/service/ReferenceSerializer.h"
#include "tests/service/StandInFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QByteArray ContentTypes[] = {QByteArray(), QByteArrayLiteral("text/html; charset=gbk"),
                                   QByteArrayLiteral("text/html; charset=utf-8")};

// Compares one reply both ways; the first differing line is enough to find the fault.
void expectSameText(const QByteArray& body, const QByteArray& contentType, const QString& name)
{
    SCOPED_TRACE(name.toStdString() + " / Content-Type \"" + contentType.toStdString() + "\"");
    const kova::reference::PageLines expected = kova::reference::pageLines(body, contentType);
    const kova::PageText actual = kova::pageTextOf(body, contentType);
    EXPECT_EQ(actual.failedLoad(), expected.failedLoad);
    ASSERT_EQ(actual.count(), expected.lines.size());
    for (int i = 0; i < actual.count(); ++i) {
        if (actual.line(i) != expected.lines.at(i)) {
            ADD_FAILURE() << "line " << i << "\n  now:   " << actual.line(i).toStdString()
                          << "\n  was:   " << expected.lines.at(i).toStdString();
            return;
        }
    }
}

void expectSameTextForEveryCharset(const QByteArray& body, const QString& name)
{
    for (const QByteArray& type : ContentTypes)
        expectSameText(body, type, name);
}

// A corpus file: the page_document seeds carry a "Content-Type: …\r\n\r\n" block first.
void expectSameTextForCorpusFile(const QByteArray& input, const QString& name)
{
    static const QByteArray header = QByteArrayLiteral("Content-Type: ");
    const qsizetype end = input.indexOf("\r\n\r\n");
    if (input.startsWith(header) && end >= 0) {
        const QByteArray body = input.mid(end + 4);
        expectSameText(body, input.mid(header.size(), end - header.size()), name);
        expectSameTextForEveryCharset(body, name);
    }
    expectSameTextForEveryCharset(input, name);
}

int filesUnder(const QString& folder, const std::function<void(const QByteArray&, const QString&)>& check)
{
    int count = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
            continue;
        }
        check(file.readAll(), QDir(folder).relativeFilePath(file.fileName()));
        ++count;
    }
    return count;
}

QByteArray gbk(const QString& text)
{
    return kova::gbk::encode(text);
}

} // namespace

TEST(DifferentialText, EveryFuzzSeedAndTestPageGivesTheSameLines)
{
    const int seeds = filesUnder(QStringLiteral(KOVA_SOURCE_DIR "/fuzz/corpus"), expectSameTextForCorpusFile);
    EXPECT_GE(seeds, 60); // the corpora were found
    const int pages =
        filesUnder(QStringLiteral(KOVA_SOURCE_DIR "/tests/service/data"), expectSameTextForEveryCharset);
    EXPECT_GE(pages, 2);
}

TEST(DifferentialText, CornersOfTheSplitCutDecodeAndSerializer)
{
    const QString longChinese = QString(3000, QChar(0x971C));
    const QByteArray cases[] = {
        QByteArray(),
        QByteArrayLiteral("\r\n\r\n"),
        QByteArrayLiteral("\xEF\xBB\xBF<p>bom</p>\r\n"),
        // Lines past the cut, in ASCII, in two-byte GBK, and straddling it by one byte.
        "<body>\n" + QByteArray(5000, 'x') + "\n<td>" + gbk(longChinese) + "</td>\r\n" + "a" +
            gbk(QString(2048, QChar(0x4E2D))) + "\n",
        gbk(QStringLiteral("<pre>\n\n保留</pre><textarea>\nt</textarea><listing>\nl</listing>")),
        QByteArrayLiteral("<script>if (a < b && c > d) x = \"&amp;\";</script><style>p>b{}</style>"
                          "<xmp><b></xmp><noframes>&lt;</noframes><iframe>&amp;</iframe>"),
        QByteArrayLiteral(
            "<p a=\"1 &quot;2&quot; <3> &amp;\" b>&nbsp;\xC2\xA0&lt;&gt;&amp;</p><br/><img><hr>"),
        QByteArrayLiteral("<!-- c --><![CDATA[x]]><svg><![CDATA[y<]]></svg><math><mi>1</mi></math>"),
        QByteArrayLiteral("<o:p>unknown</o:p><my-tag x=1>t</my-tag></ /><x\n>y</x>"),
        QByteArrayLiteral("<template><td>in template</td></template><table>text<tr>foster</table>"),
        QByteArrayLiteral("<b><i><u>unclosed\n<p>formatting<table><tr><td>cell</b>x</i>\n"),
        QByteArrayLiteral("\x81\x30\xFF\xFE abc \xD6\xD0\xCE\xC4 \xA1"), // broken and good GBK
        QByteArrayLiteral("\xE4\xB8\xAD\xE6\x96\x87\xC3\x28 bad utf-8 \xF0\x9F\x98\x80"),
        QByteArrayLiteral("<meta charset=big5><p>\xA4\xA4\xA4\xE5</p>"),
        QByteArrayLiteral("<meta http-equiv=Content-Type content='text/html; charset=nonexistent'>x"),
        QByteArray("a\0b\r\rc\n\0", 9),
        QByteArray(40000, '<') + QByteArray(40000, 'd') + "<div>" + QByteArray(3000, '\n'),
        QByteArrayLiteral("<table>") + QByteArray("<tr><td>1</td>\n").repeated(3000) + "</table>",
        QByteArray("<div>").repeated(5000) + "deep" + QByteArray("</div>").repeated(5000),
    };
    int index = 0;
    for (const QByteArray& body : cases)
        expectSameTextForEveryCharset(body, QStringLiteral("case %1").arg(index++));

    // Charsets other than GBK and UTF-8, through iconv: a byte-order mark in the decoded
    // text, bytes that are not ASCII in the charset, a name iconv does not know.
    const std::pair<QByteArray, QByteArray> declared[] = {
        {QByteArray("\xFE\xFF\x00<\x00p\x00>\x4E\x2D", 8), "text/html; charset=utf-16be"},
        {QByteArray("\xFF\xFE<\x00p\x00>\x00", 8), "text/html; charset=utf-16"},
        {QByteArrayLiteral("<p>abc</p>"), "text/html; charset=utf-16le"},
        {QByteArrayLiteral("\xA4\xA4\xA4\xE5 \xFF"), "text/html; charset=big5"},
        {QByteArrayLiteral("caf\xE9"), "text/html; charset=iso-8859-1"},
        {QByteArrayLiteral("\xD6\xD0"), "text/html; charset=no-such-charset"},
        {QByteArrayLiteral("a\xFF"
                           "b"),
         "text/html; charset=\"utf8\""},
    };
    for (const auto& [body, type] : declared)
        expectSameText(body, type, QStringLiteral("declared charset"));
}

class DifferentialServerText : public kova::test::StandInTest {
protected:
    void expectSameTextFor(const QString& url, const QString& name)
    {
        const kova::HttpReply reply = m_http.get(url);
        ASSERT_FALSE(reply.body.isEmpty()) << name.toStdString();
        expectSameText(reply.body, reply.contentType, name);
        expectSameTextForEveryCharset(reply.body, name);
    }

    kova::HttpClient m_http;
};

TEST_F(DifferentialServerText, ResultPagesAccountListsAndVersionPageGiveTheSameLines)
{
    const kova::Requests requests;
    const QByteArray account = m_http.get(requests.randomUser()).body;
    expectSameTextForEveryCharset(account, QStringLiteral("account reply"));
    static const QRegularExpression idPattern(QStringLiteral("<body>\\s*([A-Za-z0-9]+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString user = idPattern.match(QString::fromLatin1(account)).captured(1);
    ASSERT_FALSE(user.isEmpty()) << account.toStdString();
    const QString password = QStringLiteral("mivra");

    for (int rows : {0, 1, 100, 1000})
        expectSameTextFor(requests.listAll(QStringLiteral("test%1-diff").arg(rows), user, password),
                          QStringLiteral("%1 rows").arg(rows));
    expectSameTextFor(requests.listAll(QStringLiteral("BB霜 & #1"), user, password),
                      QStringLiteral("Chinese word"));

    for (const char* row : {"1", "2", "5"})
        m_http.get(requests.addFavorite(user, password, QString::fromLatin1(row)));
    expectSameTextFor(requests.listFavorites(user, password), QStringLiteral("favorites"));
    expectSameTextFor(requests.listFavorites(user, QStringLiteral("wrong")), QStringLiteral("wrong account"));
    server().dropPricesNow();
    expectSameTextFor(requests.listPriceDrops(user, password), QStringLiteral("price drops"));
    expectSameTextFor(requests.versionPage(QStringLiteral("10")), QStringLiteral("version page"));

    for (const auto fault : {kova::standin::Fault::InvalidGbk, kova::standin::Fault::Utf8Declared}) {
        server().setFault(fault);
        expectSameTextFor(requests.listAll(QStringLiteral("test100"), user, password),
                          QStringLiteral("damaged page %1").arg(kova::standin::faultName(fault)));
    }
}
