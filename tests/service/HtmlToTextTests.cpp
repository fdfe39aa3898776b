#include "service/HtmlToText.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>

using kova::HtmlToText;
using kova::HtmlToTextByParser;

TEST(HtmlToText, ResolvesCharacterReferences)
{
    EXPECT_EQ(HtmlToText(QStringLiteral("http://item.taobao.com/item.htm?id=5&amp;pid=mm_1_2_3")),
              QStringLiteral("http://item.taobao.com/item.htm?id=5&pid=mm_1_2_3"));
    EXPECT_EQ(HtmlToText(QStringLiteral("&lt;TD&gt; &quot;q&quot; &#20013;&#x6587;&nbsp;!")),
              QStringLiteral("<TD> \"q\" 中文") + QChar(0xA0) + QStringLiteral("!"));
    // A bare "&" that starts no reference stays as it is.
    EXPECT_EQ(HtmlToText(QStringLiteral("a.htm?x=1&pid=mm_1")), QStringLiteral("a.htm?x=1&pid=mm_1"));
}

TEST(HtmlToText, RemovesTagsAndKeepsLineBreaks)
{
    EXPECT_EQ(HtmlToText(QStringLiteral("<b>x</b>y")), QStringLiteral("xy"));
    EXPECT_EQ(HtmlToText(QStringLiteral("<a href=\"u?a=1&amp;b=2\">淘宝网</a>")), QStringLiteral("淘宝网"));
    EXPECT_EQ(HtmlToText(QStringLiteral("one\ntwo<br>three")), QStringLiteral("one\ntwo\nthree"));
    EXPECT_EQ(HtmlToText(QStringLiteral("a<script>var x = '<b>';</script>b<!-- c -->")),
              QStringLiteral("ab"));
}

TEST(HtmlToText, EmptyInputGivesEmptyText)
{
    EXPECT_TRUE(HtmlToText(QString()).isEmpty());
    EXPECT_TRUE(HtmlToText(QStringLiteral("<p></p>")).isEmpty());
}

// Plain fragments skip the parser; whatever the fragment, the text is the parser's. Random
// fragments built from the pieces that decide between the two: references whole and cut,
// white space first and inside, control characters, markup, a byte-order mark.
TEST(HtmlToText, TheShortcutForPlainFragmentsGivesTheParsersText)
{
    const QStringList pieces{
        QStringLiteral("a"),    QStringLiteral("Z9"),    QStringLiteral("中文"), QStringLiteral(" "),
        QStringLiteral("\t"),   QStringLiteral("\n"),    QStringLiteral("\r"),   QStringLiteral("&amp;"),
        QStringLiteral("&amp"), QStringLiteral("&am"),   QStringLiteral("&"),    QStringLiteral("amp;"),
        QStringLiteral("&lt;"), QStringLiteral("&#38;"), QStringLiteral("<b>"),  QStringLiteral("</b>"),
        QStringLiteral(";"),    QStringLiteral("?id=1"), QString(QChar(0xA0)),   QString(QChar(0x85)),
        QString(QChar(0x7F)),   QString(QChar(0xFEFF)),  QString(QChar(0xFFFD)), QString(QChar(0xFDD0)),
        QString(QChar(0x1)),    QString(QChar(0xD800))};
    std::mt19937 random(20261209);
    int resolved = 0;
    for (int round = 0; round < 20000; ++round) {
        QString markup;
        const int count = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i)
            markup += pieces.at(static_cast<qsizetype>(random() % pieces.size()));
        const QString parsed = HtmlToTextByParser(markup);
        ASSERT_EQ(HtmlToText(markup), parsed) << markup.toStdString();
        if (!markup.contains(QLatin1Char('<')) && parsed.size() < markup.size())
            ++resolved;
    }
    EXPECT_GT(resolved, 100); // fragments whose references were resolved were among them
    EXPECT_EQ(HtmlToText(QStringLiteral("http://s/i.htm?id=1&amp;pid=mm_1_2_3&amp;x=2")),
              QStringLiteral("http://s/i.htm?id=1&pid=mm_1_2_3&x=2"));
}
