// Decipher over arbitrary ciphertexts (the settings record holds what any earlier run or
// any other program wrote into kvdb.dat), and the round trip Encipher -> Decipher.

#include "fuzz/FuzzSupport.h"

#include "store/Cipher.h"
#include "store/Error.h"
#include "store/Gbk.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString cipher =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& key : {kova::StoreKey, kova::DefaultCipherKey, QString()}) {
        try {
            (void)kova::Decipher(cipher, key);
        } catch (const kova::Error&) {
            // Malformed ciphertext: the documented failure.
        }
    }
    try {
        (void)kova::Decipher(kova::fuzz::text(data, size), kova::StoreKey);
    } catch (const kova::Error&) {
    }

    // Any text GBK can hold comes back from its ciphertext unchanged, whatever the seed.
    if (size == 0)
        return 0;
    const int seed = data[0];
    const QString plain = kova::fuzz::text(data + 1, size - 1);
    const bool representable =
        kova::gbk::decode(kova::gbk::encode(plain)) == plain && !plain.contains(QChar(0));
    const QString enciphered = kova::Encipher(plain, kova::StoreKey, seed);
    if (enciphered.size() != 2 + 2 * kova::gbk::encode(plain).size())
        kova::fuzz::fail("ciphertext length", plain);
    QString back;
    try {
        back = kova::Decipher(enciphered, kova::StoreKey);
    } catch (const kova::Error& e) {
        kova::fuzz::fail("own ciphertext refused", enciphered + QLatin1Char(' ') + e.message());
    }
    if (representable && back != plain)
        kova::fuzz::fail("round trip", plain + QStringLiteral(" -> ") + back);
    return 0;
}
