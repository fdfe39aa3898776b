#include "store/SettingsRecord.h"

#include "store/Cipher.h"
#include "store/Dataset.h"
#include "store/Error.h"

namespace kova {
namespace {

const QString Ver = QStringLiteral("ver");
const QString DefaultVersion = QStringLiteral("10");

// Deciphers a stored value; an empty result or a malformed ciphertext is damage.
bool decipherStored(const QString& stored, QString& plain)
{
    try {
        plain = Trim(Decipher(stored, StoreKey));
    } catch (const Error&) {
        return false;
    }
    return !plain.isEmpty();
}

} // namespace

void SettingsRecord::openOrCreate()
{
    m_query.close();
    m_query.setSql(QStringLiteral("select * from xxb"));
    m_query.open();
    if (m_query.recordCount() == 0) {
        m_query.append();
        m_query.setField(Ver, DefaultVersionCipher());
        m_query.post();
    }
    m_query.first();
}

QString SettingsRecord::stored(const QString& column) const
{
    return m_query.fieldText(column);
}

QString SettingsRecord::versionCode() const
{
    QString plain;
    if (!decipherStored(stored(Ver), plain))
        return DefaultVersion;
    return plain;
}

SettingsRecord::Pair SettingsRecord::readPair(const QString& firstColumn, const QString& secondColumn) const
{
    Pair pair;
    const QString a = stored(firstColumn);
    const QString b = stored(secondColumn);
    if (a.isEmpty() || b.isEmpty())
        return pair;
    if (!decipherStored(a, pair.first) || !decipherStored(b, pair.second)) {
        pair.state = Pair::State::Damaged;
        pair.first.clear();
        pair.second.clear();
        return pair;
    }
    pair.state = Pair::State::Ok;
    return pair;
}

void SettingsRecord::clearPair(const QString& firstColumn, const QString& secondColumn)
{
    m_query.first();
    m_query.edit();
    m_query.setField(firstColumn, QString());
    m_query.setField(secondColumn, QString());
    m_query.post();
}

SettingsRecord::Pair SettingsRecord::writePairIfMissing(const QString& firstColumn, const QString& firstValue,
                                                        const QString& secondColumn, const QString& secondValue)
{
    m_query.first();
    if (!stored(firstColumn).isEmpty() && !stored(secondColumn).isEmpty())
        return {};
    m_query.edit();
    m_query.setField(firstColumn, Encipher(firstValue, StoreKey));
    m_query.setField(secondColumn, Encipher(secondValue, StoreKey));
    m_query.post();
    return readPair(firstColumn, secondColumn);
}

} // namespace kova
