#include "service/PageText.h"
#include "store/Gbk.h"

#include <gtest/gtest.h>

using kova::PageText;

TEST(PageText, SplitsAtLineBreaksAndDropsOnlyTheFinalEmptyLine)
{
    PageText text(QStringLiteral("<HTML>\r\n<BODY>abc\n\n<TR>\r\n"));
    ASSERT_EQ(text.count(), 4);
    EXPECT_EQ(text.line(0), QStringLiteral("<HTML>"));
    EXPECT_EQ(text.line(1), QStringLiteral("<BODY>abc"));
    EXPECT_EQ(text.line(2), QString());
    EXPECT_EQ(text.line(3), QStringLiteral("<TR>"));

    text.setText(QStringLiteral("one\ntwo"));
    EXPECT_EQ(text.count(), 2);
    EXPECT_EQ(text.line(1), QStringLiteral("two"));

    text.setText(QString());
    EXPECT_EQ(text.count(), 0);
}

TEST(PageText, IndexOutsideTheLinesReadsAsEmpty)
{
    const PageText text(QStringLiteral("a\nb\n"));
    EXPECT_EQ(text.line(2), QString());
    EXPECT_EQ(text.line(100000), QString());
    EXPECT_EQ(text.line(-1), QString());
    EXPECT_EQ(PageText().line(0), QString());
}

TEST(PageText, ReplacingOrClearingTheTextDropsTheFailedMark)
{
    PageText text(QStringLiteral("x"));
    text.setFailedLoad(true);
    text.setText(QStringLiteral("<BODY>u1"));
    EXPECT_FALSE(text.failedLoad());
    EXPECT_EQ(text.text(), QStringLiteral("<BODY>u1"));
    text.setFailedLoad(true);
    text.clear();
    EXPECT_FALSE(text.failedLoad());
    EXPECT_EQ(text.count(), 0);
}

TEST(PageText, LongLinesAreCutAt4096BytesOfGbk)
{
    const QString ascii(5000, QLatin1Char('x'));
    const PageText asciiText(ascii + QStringLiteral("\nnext"));
    EXPECT_EQ(asciiText.line(0), QString(4096, QLatin1Char('x')));
    EXPECT_EQ(asciiText.line(1), QStringLiteral("next"));
    EXPECT_EQ(asciiText.text(), ascii + QStringLiteral("\nnext")); // the holder keeps the whole text

    // 4096 bytes exactly is not cut.
    EXPECT_EQ(PageText(QString(2048, QChar(0x4E2D))).line(0).size(), 2048);

    // One ASCII byte, then two-byte characters: the 2048th character would end at byte
    // 4097, so the cut falls before it, never inside it.
    const QString mixed = QStringLiteral("a") + QString(3000, QChar(0x971C)); // 霜
    const QString cut = PageText(mixed).line(0);
    EXPECT_EQ(cut.size(), 1 + 2047);
    EXPECT_EQ(kova::gbk::encode(cut).size(), 4095);
    EXPECT_TRUE(mixed.startsWith(cut));
}
