#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <string_view>
#include <utility>

namespace kova::standin {

// %XX escapes become bytes; everything else, "+" included, stays as it is. A "%" not
// followed by two hex digits is kept literally.
QByteArray percentDecode(std::string_view text);

// The query of a request target ("/path?a=1&b=2"), read the way the service reads it:
// each value is percent-decoded to bytes and the bytes are decoded as GBK. Keys compare
// without regard to case, as the service's pages did; the first occurrence wins.
class QueryString {
public:
    explicit QueryString(std::string_view target);

    bool has(QStringView key) const;
    QString value(QStringView key) const; // "" when absent
    const QList<std::pair<QString, QString>>& items() const { return m_items; }

private:
    QList<std::pair<QString, QString>> m_items;
};

} // namespace kova::standin
