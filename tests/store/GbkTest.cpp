#include "store/Gbk.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(StoreGbk, RoundTripsChineseAndAscii)
{
    const QString text = QStringLiteral("淘宝网 ￥58.50 ★ abc");
    const QByteArray bytes = gbk::encode(text);
    // 淘 is CC D4 in code page 936; each Chinese character is two bytes.
    EXPECT_EQ(bytes.left(2), QByteArray("\xCC\xD4"));
    EXPECT_EQ(bytes.size(), 3 * 2 + 1 + 2 + 5 + 1 + 2 + 1 + 3);
    EXPECT_EQ(gbk::decode(bytes), text);
    EXPECT_EQ(gbk::encode(QStringLiteral("plain")), QByteArray("plain"));
    EXPECT_EQ(gbk::decode(QByteArray()), QString());
}

TEST(StoreGbk, ReplacesWhatItCannotConvert)
{
    // U+00A5 has no GBK form; the full-width yen has.
    EXPECT_EQ(gbk::encode(QStringLiteral("a\u00A5b")), QByteArray("a?b"));
    EXPECT_EQ(gbk::encode(QStringLiteral("😀x")), QByteArray("?x"));
    // A lone lead byte at the end and an invalid pair decode to U+FFFD, never fail.
    EXPECT_EQ(gbk::decode(QByteArray("ab\xCC")), QStringLiteral("ab\uFFFD"));
    const QString broken = gbk::decode(QByteArray("\xFF\xFFok"));
    EXPECT_TRUE(broken.endsWith(QStringLiteral("ok")));
    EXPECT_TRUE(broken.contains(QChar(0xFFFD)));
}

TEST(StoreGbk, DecodesByCharset)
{
    const QByteArray utf8 = QStringLiteral("京东").toUtf8();
    EXPECT_EQ(gbk::decode(utf8, "utf-8"), QStringLiteral("京东"));
    const QByteArray gbkBytes = gbk::encode(QStringLiteral("京东"));
    EXPECT_EQ(gbk::decode(gbkBytes, "gb2312"), QStringLiteral("京东"));
    EXPECT_EQ(gbk::decode(gbkBytes, "no-such-charset"), QStringLiteral("京东"));
    EXPECT_EQ(gbk::decode(QByteArray("caf\xE9"), "ISO-8859-1"), QStringLiteral("café"));
}

} // namespace
} // namespace kova
