#pragma once

#include <QList>
#include <QSet>
#include <QString>

namespace kova::standin {

struct Offer;
struct Favorite;

// The HTML of every page the stand-in serves, as text (encoded by the caller). Lines end
// in "\r\n"; a table row is a "<TR>" line, then one "<TD>value</TD>" line per cell, the
// "</TR>" on the last cell's line. Cell values are escaped, so no cell holds a "<"; a line
// break inside a cell value is sent as it stands, so that cell spans two lines.
namespace pages {

// & < > " as references; format characters (bidi controls, zero-width), which GBK cannot
// hold, as numeric references. Line breaks become spaces unless `keepLineBreaks`.
QString escape(const QString& text, bool keepLineBreaks = false);

QString account(const QString& user);
// Service: the page the client reads. Browser: the same page as a browser user would be
// given it, the thumbnail cell a picture (for timing a browser on it).
enum class ResultView { Service, Browser };
QString results(const QString& word, const QList<Offer>& offers, const QSet<QString>& favorites,
                const QString& directoryUrl, ResultView view = ResultView::Service);

// A favorite with today's price, as the list shows it.
struct FavoriteRow {
    const Favorite* favorite;
    QString currentPrice;
};
QString favorites(const QString& user, const QList<FavoriteRow>& rows, bool dropsOnly,
                  const QString& directoryUrl);

QString message(const QString& title, const QString& text);
QString version(const QString& pid, const QString& unionId);
QString home(const QString& serviceUrl);
QString contact();
QString comparison(const QString& word, const QList<Offer>& offers, const QString& directoryUrl);
QString directory(const QString& directoryUrl);
QString storeEntry(const QString& store, const QList<std::pair<QString, QString>>& parameters);
QString product(const QString& cph, const Offer* offer, const QString& directoryUrl);

} // namespace pages
} // namespace kova::standin
