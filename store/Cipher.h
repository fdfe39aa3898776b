#pragma once

#include <QString>

#include <optional>

namespace kova {

// The keyed string cipher of the settings record. It works on the GBK bytes of the text;
// ciphertexts are uppercase hexadecimal pairs: a seed pair, then one pair per byte.
inline const QString StoreKey = QStringLiteral("RQHmtcK5817HBLXNRR5Q591919jmtqzvvgeu591");
inline const QString DefaultCipherKey = QStringLiteral("Quiet Ember");

// Enciphers with a seed drawn from a clock-seeded random source (0..255).
QString Encipher(const QString& plain, const QString& key);
// The same with the seed given (tests, and callers that need fixed output).
QString Encipher(const QString& plain, const QString& key, int seed);

// Deciphers; throws kova::Error on malformed input (a pair that is empty or not
// hexadecimal). A seed pair alone deciphers to the empty text.
QString Decipher(const QString& cipher, const QString& key);

// Removes leading and trailing spaces and control characters (code points <= 32).
QString Trim(const QString& text);

// The ciphertext written as `ver` into a new settings record: eight hexadecimal digits
// whose deciphered, trimmed value is "10".
QString DefaultVersionCipher();

} // namespace kova
