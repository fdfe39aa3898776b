#pragma once

#include <QString>

namespace kova {

// The two ratings the client computes for an offer from its popularity count, merchant
// and name. Merchant names compare as whole strings; "正品" is a case-sensitive substring.
QString StarRating(qint64 count, const QString& merchant, const QString& name);
QString AuthenticityLabel(qint64 count, const QString& merchant, const QString& name);

} // namespace kova
