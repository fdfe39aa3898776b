#include "store/Cipher.h"
#include "store/Error.h"
#include "store/Gbk.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace kova {
namespace {

const QString kChinese = QStringLiteral("淘宝网 天猫商城 京东商城 ￥58.50 ★★★");

// Vectors worked out by hand from the algorithm (r: running value, k: key byte).
//
// 1. "10 " under StoreKey ("RQH...": R=0x52, Q=0x51, H=0x48), seed 0x2A (42):
//    '1'=0x31=49: r=(42+49) mod 255=91=0x5B;  0x5B xor 0x52 = 0x09 -> "09"
//    '0'=0x30=48: r=(9+48) mod 255=57=0x39;   0x39 xor 0x51 = 0x68 -> "68"
//    ' '=0x20=32: r=(104+32) mod 255=136=0x88; 0x88 xor 0x48 = 0xC0 -> "C0"
//    => "2A" "09" "68" "C0"
// 2. "xyz" under key "ab" (a=0x61, b=0x62), seed 0xF0 (240); the sum wraps mod 255 and
//    the key position wraps after two bytes:
//    'x'=120: r=(240+120) mod 255=105=0x69; 0x69 xor 0x61 = 0x08 -> "08"
//    'y'=121: r=(8+121) mod 255=129=0x81;   0x81 xor 0x62 = 0xE3 -> "E3"
//    'z'=122: r=(227+122) mod 255=94=0x5E;  0x5E xor 0x61 = 0x3F -> "3F"   (key byte 1 again)
//    => "F008E33F"
// 3. "中" is D6 D0 in GBK; key "ab", seed 0x00:
//    0xD6=214: r=(0+214)=214=0xD6; 0xD6 xor 0x61 = 0xB7 -> "B7"
//    0xD0=208: r=(183+208) mod 255=136=0x88; 0x88 xor 0x62 = 0xEA -> "EA"
//    => "00B7EA"; deciphering: x=0xB7 xor 0x61=214 > prev 0 -> 214; x=0xEA xor 0x62=136
//    <= prev 183 -> 136+255-183 = 208.
TEST(StoreCipher, MatchesHandWorkedVectors)
{
    EXPECT_EQ(Encipher(QStringLiteral("10 "), StoreKey, 0x2A), QStringLiteral("2A0968C0"));
    EXPECT_EQ(Encipher(QStringLiteral("xyz"), QStringLiteral("ab"), 0xF0), QStringLiteral("F008E33F"));
    EXPECT_EQ(Encipher(QStringLiteral("中"), QStringLiteral("ab"), 0x00), QStringLiteral("00B7EA"));

    EXPECT_EQ(Decipher(QStringLiteral("2A0968C0"), StoreKey), QStringLiteral("10 "));
    EXPECT_EQ(Decipher(QStringLiteral("F008E33F"), QStringLiteral("ab")), QStringLiteral("xyz"));
    EXPECT_EQ(Decipher(QStringLiteral("00b7ea"), QStringLiteral("ab")), QStringLiteral("中"));
}

TEST(StoreCipher, RoundTripsAsciiAndChineseForEverySeed)
{
    // Longer than StoreKey, so the key position wraps.
    const QString ascii = QStringLiteral("user-12345 pass word ~!@#$%^&*()_+ 0123456789 abcdefghijklmnop");
    for (int seed = 0; seed < 256; ++seed) {
        for (const QString& text : {ascii, kChinese}) {
            const QString cipher = Encipher(text, StoreKey, seed);
            ASSERT_EQ(cipher.size(), 2 + 2 * gbk::encode(text).size());
            ASSERT_EQ(cipher.left(2), QStringLiteral("%1").arg(seed, 2, 16, QLatin1Char('0')).toUpper());
            ASSERT_EQ(Decipher(cipher, StoreKey), text) << "seed " << seed;
        }
    }
}

TEST(StoreCipher, DrawsClockSeededSeedsInTheCipherFormat)
{
    static const QRegularExpression format(QStringLiteral("^([0-9A-F]{2})+$"));
    QSet<QString> seeds;
    for (int i = 0; i < 40; ++i) {
        const QString cipher = Encipher(kChinese, StoreKey);
        ASSERT_TRUE(format.match(cipher).hasMatch()) << cipher.toStdString();
        EXPECT_EQ(Decipher(cipher, StoreKey), kChinese);
        seeds.insert(cipher.left(2));
    }
    EXPECT_GT(seeds.size(), 1);
    EXPECT_EQ(Encipher(QString(), StoreKey).size(), 2);
}

TEST(StoreCipher, EmptyKeyActsAsDefaultKey)
{
    // 20 bytes: the 11-character default key is cycled over.
    const QString text = QStringLiteral("abcdefghijklmnopqrst");
    for (int seed : {0, 1, 127, 255}) {
        const QString withDefault = Encipher(text, DefaultCipherKey, seed);
        EXPECT_EQ(Encipher(text, QString(), seed), withDefault);
        EXPECT_NE(Encipher(text, StoreKey, seed), withDefault);
        EXPECT_EQ(Decipher(withDefault, QString()), text);
    }
}

TEST(StoreCipher, SeedOnlyDeciphersToEmptyText)
{
    EXPECT_EQ(Decipher(QStringLiteral("7F"), StoreKey), QString());
    EXPECT_EQ(Decipher(Encipher(QString(), StoreKey), StoreKey), QString());
    // A lone digit after the seed is not a byte.
    EXPECT_EQ(Decipher(QStringLiteral("7F3"), StoreKey), QString());
    const QString cipher = Encipher(QStringLiteral("abc"), StoreKey, 9);
    EXPECT_EQ(Decipher(cipher + QLatin1Char('A'), StoreKey), QStringLiteral("abc"));
}

TEST(StoreCipher, MalformedCiphertextThrows)
{
    const QStringList bad = {QString(),
                             QStringLiteral("A"),
                             QStringLiteral("ZZ"),
                             QStringLiteral("12G4"),
                             QStringLiteral("12 4"),
                             QStringLiteral("0A0B0Cx"),
                             QStringLiteral("0A中B"),
                             QStringLiteral("-1FF")};
    for (const QString& text : bad) {
        try {
            Decipher(text, StoreKey);
            ADD_FAILURE() << "no error for " << text.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("密文无法解密："))) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("（%1）").arg(text))) << e.what();
        }
    }
}

TEST(StoreCipher, TrimRemovesSpacesAndControlCharacters)
{
    EXPECT_EQ(Trim(QStringLiteral(" \t\r\n 10 \x01\x1f ")), QStringLiteral("10"));
    EXPECT_EQ(Trim(QStringLiteral("a b")), QStringLiteral("a b"));
    EXPECT_EQ(Trim(QStringLiteral("  \n ")), QString());
    EXPECT_EQ(Trim(QString()), QString());
    // The ideographic space is not a control character.
    EXPECT_EQ(Trim(QStringLiteral("\u3000中\u3000")), QStringLiteral("\u3000中\u3000"));
    // A stored value with blanks comes back trimmed.
    EXPECT_EQ(Trim(Decipher(Encipher(QStringLiteral("  user9 "), StoreKey, 77), StoreKey)),
              QStringLiteral("user9"));
}

TEST(StoreCipher, DefaultVersionDeciphersToTen)
{
    const QString version = DefaultVersionCipher();
    EXPECT_EQ(version, QStringLiteral("2A0968C0"));
    EXPECT_EQ(version.size(), 8);
    EXPECT_EQ(Trim(Decipher(version, StoreKey)), QStringLiteral("10"));
}

TEST(StoreCipher, ByteAfterSeed255ComesBackAsZero)
{
    // The known limit of the arithmetic mod 255: seed 255 and a cipher byte whose xor with
    // the key byte is 0 give plain byte 0. "R" (0x52) is StoreKey's first byte.
    const QString text = Decipher(QStringLiteral("FF52"), StoreKey);
    ASSERT_EQ(text.size(), 1);
    EXPECT_EQ(text.at(0).unicode(), 0);
}

} // namespace
} // namespace kova
