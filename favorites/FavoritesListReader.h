#pragma once

#include "search/AccountReply.h"
#include "service/PictureDownload.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kova {

class Dataset;
class PageText;
class PriceHistory;
class SettingsRecord;

// The two lists the service keeps for an account: the favorites and the price-drop
// notices among them. Both are read into scnr the same way; they differ in the view that
// shows them, the request and the texts the user sees.
enum class FavoriteList { Favorites, PriceDrops };

struct FavoriteListTexts {
    QString status;  // status bar while the list is fetched
    QString waiting; // progress label before the page arrives
    QString row;     // progress label per row, followed by merchant "） " name
    QString end;     // progress label when the page has been read
    QString count;   // status bar after reading, followed by N " 条记录"

    QString rowText(const QString& merchant, const QString& name) const;
    QString countText(int rows) const;
};
const FavoriteListTexts& TextsOf(FavoriteList list);

// Reads a favorites or price-drop list page into scnr. The page is a list page when a
// line holds "序列" (the header caption) or the account's user id. Every "<TR>" line not
// followed by a "序列" line starts a row of twelve cell lines; each row is appended to
// scnr with its non-empty cells, the product link as text with the operator's affiliate
// ids. A row cut short by the end of the page stores nothing. The reading never waits for
// the network: the small pictures the cache lacks are named in the outcome for the caller
// to fetch.
class FavoritesListReader {
public:
    struct Objects {
        Dataset& favorites; // open on scnr (the favorites grid's query)
        SettingsRecord& settings;
    };
    // What the reading needs to know of the program, as it stands when the page arrives.
    struct Context {
        QString userId; // a page naming it is a list page
        bool replyExpected = false;
        QString tempDir;   // of the picture cache
        QString taobaoPid; // affiliate ids written into the product links
        QString jdUnionId;
        PriceHistory* history = nullptr; // where each favorite's current price is sighted
    };
    // Called with the bar position (0..100) and the label text after each stored row.
    using Progress = std::function<void(int bar, const QString& label)>;

    struct Outcome {
        bool pageValid = false;            // FavPageValid
        int rowLines = 0;                  // "<TR>" lines of the page, header rows included
        int stored = 0;                    // rows appended to scnr
        int skipped = 0;                   // rows cut short by the end of the page, left out
        std::vector<PictureItem> pictures; // small pictures the cache lacks, in list order
        std::optional<Account> account;    // the account the page's reply stored
    };

    FavoritesListReader(Objects objects, Context context, FavoriteList list, Progress progress);

    Outcome read(const PageText& page);

    static constexpr int CellCount = 12;

private:
    void readRow(const PageText& page, int rowLine, Outcome& outcome);

    Objects m_db;
    Context m_context;
    const FavoriteListTexts& m_texts;
    Progress m_progress;
};

// Bar position after `stored` rows of a page with `rowLines` "<TR>" lines; never above 100.
int ListProgress(int stored, int rowLines);

} // namespace kova
