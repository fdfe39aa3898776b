#pragma once

#include <QByteArray>
#include <QStringList>

namespace kova::standin {

// The texts of the hostile keywords, for the pages and for tests that check a client
// against them. Row i of "hostile<N>" takes name hostileNames()[i % size] and promotion
// hostilePromotions()[i % size]; row i of "junkprice<N>" takes price
// junkPrices()[i % size].

// Markup, entities, spreadsheet formulas, bidi controls, a 100 KB name and a name with a
// line break ("\r\n") inside. Index 0 is an ordinary name.
const QStringList& hostileNames();
const QStringList& hostilePromotions();

// Price texts, most of them no price at all. Only "58.5", "1299.00", "9999999999.99" and
// "58" are positive decimal numbers of at most 10 digits before the point; "0" and "0.00"
// are numbers but no price, "12345678901.00" has 11 digits before the point.
const QStringList& junkPrices();

// A small baseline JPEG whose frame header (SOF0) says 65535 x 65535, 3 components: looks
// well formed, but a decoder with a memory bound must refuse it.
const QByteArray& hugeHeaderJpeg();

} // namespace kova::standin
