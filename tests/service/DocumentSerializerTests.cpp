#include "service/PageLoader.h"
#include "service/PageText.h"
#include "store/Error.h"
#include "store/Gbk.h"
#include "tests/service/ServiceTestData.h"

#include <gtest/gtest.h>

using kova::PageText;
using kova::serializeDocument;

namespace {

QByteArray gbk(const char* utf8)
{
    return kova::gbk::encode(QString::fromUtf8(utf8));
}

// The reader's view of a result page: "<BODY>" in one of the first four lines, a "<TR>"
// line, then thirteen "<TD>…</TD>" lines, the last one closing the row.
void expectResultShape(const PageText& text, int rows)
{
    int body = -1;
    for (int i = 0; i < 4; ++i) {
        if (text.line(i).contains(QStringLiteral("<BODY>")))
            body = i;
    }
    EXPECT_GE(body, 0) << "no <BODY> within the first four lines";
    int found = 0;
    for (int i = 0; i < text.count(); ++i) {
        if (!text.line(i).contains(QStringLiteral("<TR>")))
            continue;
        ++found;
        for (int c = 1; c <= 13; ++c) {
            const QString line = text.line(i + c);
            EXPECT_TRUE(line.startsWith(QStringLiteral("<TD>")) && line.contains(QStringLiteral("</TD>")))
                << "row at line " << i << ", cell " << c << ": " << line.toStdString();
            EXPECT_EQ(line.endsWith(QStringLiteral("</TR>")), c == 13) << line.toStdString();
        }
    }
    EXPECT_EQ(found, rows);
}

} // namespace

TEST(DocumentSerializer, GbkResultPageGivesTheGoldenText)
{
    const QByteArray page = kova::test::serviceData(QStringLiteral("result_page.gbk.html"));
    const QString golden =
        QString::fromUtf8(kova::test::serviceData(QStringLiteral("result_page.golden.txt")));
    ASSERT_FALSE(page.isEmpty());

    const PageText text(serializeDocument(page, QByteArray()));
    const PageText expected(golden);
    ASSERT_EQ(text.count(), expected.count()) << text.text().toStdString();
    for (int i = 0; i < expected.count(); ++i)
        EXPECT_EQ(text.line(i), expected.line(i)) << "line " << i;
    expectResultShape(text, 2);
}

TEST(DocumentSerializer, AccountReplyKeepsTheIdOnTheBodyLine)
{
    const QByteArray page =
        "<html><head><title>RandomUser</title></head>\r\n<body>K20120501ab\r\n</body></html>\r\n";
    const PageText text(serializeDocument(page, "text/html"));
    EXPECT_EQ(text.line(0), QStringLiteral("<HTML><HEAD><TITLE>RandomUser</TITLE></HEAD>"));
    EXPECT_EQ(text.line(1), QStringLiteral("<BODY>K20120501ab"));
    for (int i = 0; i < text.count(); ++i)
        EXPECT_FALSE(text.line(i).contains(QStringLiteral("<TR>")));
}

TEST(DocumentSerializer, CharsetComesFromBomHeaderMetaOrDefaultsToGbk)
{
    using kova::declaredCharset;
    EXPECT_EQ(declaredCharset("<html>", "text/html; charset=UTF-8"), "UTF-8");
    EXPECT_EQ(declaredCharset("<meta charset=\"utf-8\">", "text/html; Charset = \"gb2312\""), "GB2312");
    EXPECT_EQ(declaredCharset("<head><META charset='utf-8'>", "text/html"), "UTF-8");
    EXPECT_EQ(declaredCharset("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", ""),
              "BIG5");
    EXPECT_EQ(declaredCharset("<meta name=\"x\" content=\"y\"><p>charset=utf-8</p>", ""), "GBK");
    EXPECT_EQ(declaredCharset("\xEF\xBB\xBF<html>", "text/html; charset=gbk"), "UTF-8");
    EXPECT_EQ(declaredCharset(QByteArray(1100, ' ') + "<meta charset=utf-8>", ""), "GBK"); // past 1024 bytes
    EXPECT_EQ(declaredCharset("", ""), "GBK");

    const QByteArray utf8Body = "<html><body>\n<table><tr>\n<td>中文</td></tr></table></body></html>";
    EXPECT_EQ(PageText(serializeDocument(utf8Body, "text/html; charset=utf-8")).line(2),
              QStringLiteral("<TD>中文</TD></TR></TBODY></TABLE></BODY></HTML>"));
    const QByteArray gbkBody = gbk("<html><body>\n<table><tr>\n<td>中文</td></tr></table></body></html>");
    EXPECT_EQ(PageText(serializeDocument(gbkBody, "text/html")).line(2),
              QStringLiteral("<TD>中文</TD></TR></TBODY></TABLE></BODY></HTML>"));
}

TEST(DocumentSerializer, MarkupInTextAndAttributesIsEscapedAgain)
{
    const QByteArray page = gbk("<body><p title='say \"hi\" &amp; go'>a &lt;TD&gt; b&nbsp;c &amp;amp;</p>"
                                "<pre>\n\nkeep</pre><style>td > b { }</style></body>");
    const QString text = serializeDocument(page, "text/html");
    EXPECT_EQ(text, QStringLiteral("<HTML><HEAD></HEAD><BODY><P title=\"say &quot;hi&quot; &amp; go\">"
                                   "a &lt;TD&gt; b&nbsp;c &amp;amp;</P><PRE>\n\nkeep</PRE>"
                                   "<STYLE>td > b { }</STYLE></BODY></HTML>"));
}

TEST(DocumentSerializer, ErrorPageHoldsNoRowsAndEscapesTheReason)
{
    const PageText text(kova::errorDocument(QStringLiteral("状态 500 <TR><TD>x</TD>\n第二行")));
    EXPECT_EQ(text.line(0), QStringLiteral("<HTML><HEAD><TITLE>无法显示网页</TITLE></HEAD>"));
    EXPECT_EQ(text.line(1), QStringLiteral("<BODY>")); // nothing a reader could take for an account
    for (int i = 0; i < text.count(); ++i) {
        EXPECT_FALSE(text.line(i).contains(QStringLiteral("<TR>"))) << text.line(i).toStdString();
        EXPECT_FALSE(text.line(i).contains(QStringLiteral("<TD>"))) << text.line(i).toStdString();
    }
    EXPECT_TRUE(text.text().contains(QStringLiteral("第二行")));
}

// A long page is parsed a slice of rows at a time where that gives the text of the whole
// parse. With a slice of one byte every row is a slice of its own, so each case below checks
// the cut at every row; a page the cut cannot keep whole must be parsed whole.
TEST(DocumentSerializer, SlicedParseGivesTheTextOfTheWholeParse)
{
    const auto row = [](int n) {
        return QStringLiteral(
                   "<tr>\n<td>%1</td>\n<td>名称 &amp; &lt;%1&gt;</td>\n<td><b>限时</b>折扣<br>送礼</td>"
                   "\n<td><a href=\"http://h/?a=1&amp;b=%1\">链接</a></td></tr>\n")
            .arg(n);
    };
    const auto page = [&](const QString& middle, const QString& head = QStringLiteral("<table border=1>\n"),
                          const QString& tail = QStringLiteral("</table>\n<p>共 8 条</p>")) {
        QString rows;
        for (int n = 1; n <= 4; ++n)
            rows += row(n);
        rows += middle;
        for (int n = 5; n <= 8; ++n)
            rows += row(n);
        return kova::gbk::encode(QStringLiteral("<html><head><title>结果</title></head>\n<body>") + head +
                                 rows + tail + QStringLiteral("\n</body></html>"));
    };
    const auto check = [](const QByteArray& body, const char* what) {
        int slices = -1;
        const QString sliced = serializeDocument(body, QByteArray(), 1, &slices);
        EXPECT_EQ(sliced.toStdString(), serializeDocument(body, QByteArray(), 0).toStdString()) << what;
        return slices;
    };

    EXPECT_EQ(check(page(QString()), "plain rows"), 6) << "every row but the first and last a slice";
    EXPECT_EQ(check(page(QStringLiteral("<TR class=x><TD>大写</TD></TR>\r\n<Tr><td>a</td></tr>\n")),
                    "upper-case tags, unquoted values, CR LF"),
              8);
    const QByteArray golden = kova::test::serviceData(QStringLiteral("result_page.gbk.html"));
    check(golden, "the golden result page");

    // Rows whose markup the cut must not change, and pages that cannot be cut.
    const std::pair<const char*, QString> cases[] = {
        {"text between rows", QStringLiteral("</tr>游离文字<tr><td>x</td></tr>\n")},
        {"an element between rows", QStringLiteral("<b>粗</b><tr><td>x</td></tr>\n")},
        {"a cell without a row", QStringLiteral("<td>孤</td>\n")},
        {"text before the first cell", QStringLiteral("<tr>前<td>x</td></tr>\n")},
        {"a comment", QStringLiteral("<tr><td><!-- <tr> --></td></tr>\n")},
        {"a script", QStringLiteral("<tr><td><script>var s = \"</tr><tr>\";</script></td></tr>\n")},
        {"a text area", QStringLiteral("<tr><td><textarea></td></tr><tr></textarea></td></tr>\n")},
        {"a quoted '>' and row", QStringLiteral("<tr><td title=\"a>b<tr>\">x</td></tr>\n")},
        {"an unclosed block", QStringLiteral("<tr><td><div>未闭合<tr><td>x</td></tr>\n")},
        {"unclosed cells and rows", QStringLiteral("<tr><td>a<td>b<tr><td>c\n")},
        {"an unclosed font", QStringLiteral("<tr><td><font color=red>红</td></tr>\n")},
        {"an unclosed link", QStringLiteral("<tr><td><a href=x>链接</td></tr>\n")},
        {"a stray end tag", QStringLiteral("<tr><td>x</td></tr></tr></p>\n")},
        {"bare ampersands", QStringLiteral("<tr><td>AT&T &nbsp &#xZZ; &</td></tr>\n")},
        {"a self-closed row", QStringLiteral("<tr/><td>x</td></tr>\n")},
        {"a nested table", QStringLiteral("<tr><td><table><tr><td>内</td></tr></table></td></tr>\n")},
        {"a row in svg", QStringLiteral("<tr><td><svg><tr><td>x</td></tr></svg></td></tr>\n")},
        {"a second table", QStringLiteral("</table><table><tr><td>二</td></tr>\n")},
        {"the marker's name", QStringLiteral("<tr><td kova-row-slice=\"\">x</td></tr>\n")},
        {"a NUL", QStringLiteral("<tr><td>a") + QChar(0) + QStringLiteral("b</td></tr>\n")},
    };
    for (const auto& [what, middle] : cases)
        check(page(middle), what);

    EXPECT_EQ(
        check(page(QString(), QStringLiteral("<table>"), QStringLiteral("</table><frameset></frameset>")),
              "a frame set after the rows"),
        0);
    EXPECT_EQ(check(page(QStringLiteral("<tr><td>kova-row-slice</td></tr>\n")), "the marker's name as text"),
              0);
    check(page(QString(), QStringLiteral("<div>"), QStringLiteral("</div>")), "rows outside a table");
    check(page(QString(), QStringLiteral("<table><tr><td><table>"),
               QStringLiteral("</table></td></tr></table>")),
          "rows of an inner table");
}

// A page over the limit of a whole parse that cannot be cut into slices of rows is refused:
// its tree would take fifteen times its length.
TEST(DocumentSerializer, AnUncuttablePageOverTheWholeParseLimitIsRefused)
{
    QByteArray body = QByteArrayLiteral("<html><body>");
    const QByteArray paragraph = QByteArrayLiteral("<p>没有表格的段落 no table here</p>\n");
    while (body.size() <= kova::DocumentWholeMaxBytes)
        body += paragraph;
    EXPECT_THROW(serializeDocument(body, "text/html; charset=utf-8"), kova::Error);
    const PageText text = kova::pageTextOf(body, "text/html; charset=utf-8");
    EXPECT_TRUE(text.failedLoad());
    EXPECT_FALSE(text.text().contains(QStringLiteral("没有表格")));
}
