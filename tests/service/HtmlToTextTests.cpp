#include "service/HtmlToText.h"

#include <gtest/gtest.h>

using kova::HtmlToText;

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
