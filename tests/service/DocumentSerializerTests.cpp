#include "service/PageLoader.h"
#include "service/PageText.h"
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
