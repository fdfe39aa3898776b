#include "Cipher.h"

#include "Error.h"
#include "Gbk.h"

#include <chrono>
#include <random>

namespace kova {
namespace {

QByteArray keyBytes(const QString& key)
{
    return gbk::encode(key.isEmpty() ? DefaultCipherKey : key);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int clockSeed()
{
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    std::mt19937 random(static_cast<std::mt19937::result_type>(ticks));
    return std::uniform_int_distribution<int>(0, 255)(random);
}

// The seed pair and three bytes of "10 " under StoreKey with the seed 0x2A; worked out
// by hand in the cipher tests.
constexpr auto defaultVersionPlain = u"10 ";
constexpr int defaultVersionSeed = 0x2A;

} // namespace

QString Encipher(const QString& plain, const QString& key)
{
    return Encipher(plain, key, clockSeed());
}

QString Encipher(const QString& plain, const QString& key, int seed)
{
    static const char digits[] = "0123456789ABCDEF";
    const QByteArray k = keyBytes(key);
    const QByteArray bytes = gbk::encode(plain);
    QByteArray out;
    out.reserve(2 + 2 * bytes.size());
    int r = seed & 0xFF;
    auto put = [&](int value) {
        out.append(digits[value >> 4]);
        out.append(digits[value & 0x0F]);
    };
    put(r);
    qsizetype position = 0; // 0-based position in the key
    for (const char ch : bytes) {
        const int c = static_cast<unsigned char>(ch);
        r = (r + c) % 255;
        r ^= static_cast<unsigned char>(k.at(position));
        position = (position + 1) % k.size();
        put(r);
    }
    return QString::fromLatin1(out);
}

QString Decipher(const QString& cipher, const QString& key)
{
    const QByteArray k = keyBytes(key);
    const QByteArray text = cipher.toLatin1();
    if (text.size() < 2)
        throw Error(QStringLiteral("密文无法解密：至少需要两位十六进制数字（%1）").arg(cipher));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (cipher.at(i).unicode() > 0x7F || hexValue(text.at(i)) < 0)
            throw Error(QStringLiteral("密文无法解密：不是十六进制数（%1）").arg(cipher));
    }
    auto byteAt = [&](qsizetype i) { return hexValue(text.at(i)) * 16 + hexValue(text.at(i + 1)); };

    int prev = byteAt(0);
    QByteArray plain;
    qsizetype position = 0;
    // Pairs after the seed; a lone digit at the end of an odd-length text is not decoded.
    for (qsizetype i = 2; i + 1 < text.size(); i += 2) {
        const int b = byteAt(i);
        const int x = b ^ static_cast<unsigned char>(k.at(position));
        position = (position + 1) % k.size();
        plain.append(static_cast<char>(x > prev ? x - prev : x + 255 - prev));
        prev = b;
    }
    return gbk::decode(plain);
}

QString Trim(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString DefaultVersionCipher()
{
    return Encipher(QString::fromUtf16(defaultVersionPlain), StoreKey, defaultVersionSeed);
}

} // namespace kova
