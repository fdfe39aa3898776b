#pragma once

#include "search/AccountReply.h"
#include "service/PageText.h"
#include "service/PictureDownload.h"

#include <QDeadlineTimer>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kova {

class Connection;
class Dataset;
class PriceHistory;
class SettingsRecord;

// The value of a cell line: the text from its fifth character up to its first "</TD>";
// empty when the line has no "</TD>".
QString CellValue(const QString& line);
QString CellValue(QStringView line);
QString CellValue(QByteArrayView utf8Line); // the same on a line's UTF-8

// Today as whole days counted from 30 December 1899.
qint64 DayNumber();

// The two ratings of an offer that the result grid shows, from its popularity count,
// merchant and name.
struct OfferRatings {
    QString authenticity; // zpbz
    QString stars;        // pjjb
};
using RateOffer = std::function<OfferRatings(qint64 count, const QString& merchant, const QString& name)>;

// Reads a page that the main page loader brought in results mode: the first-run account
// reply and the result page of a search. Stores the keyword statistics in `word`, one
// `cxnr` row per result row (through the result query, so the grid follows) and a picture
// record in `tpb` for every product the keyword has none for yet. It never waits for the
// network: the first twelve thumbnails of a new keyword are named in the outcome for the
// caller to fetch first.
class ResultPageReader {
public:
    struct Objects {
        Dataset& words;    // open on word
        Dataset& results;  // open on cxnr (the grid's query)
        Dataset& pictures; // open on the keyword's tpb rows
        SettingsRecord& settings;
    };
    // What the reading needs to know of the program, as it stands when the page arrives.
    struct Search {
        QString word;                 // empty for the account reply before any search
        bool wordHasPictures = false; // the keyword has picture records already
        bool accountReplyExpected = false;
        QString tempDir;   // of the picture cache
        QString taobaoPid; // affiliate ids written into the product links
        QString jdUnionId;
        PriceHistory* history = nullptr; // where each stored offer's price is sighted
    };
    // Called with the bar position (0..100) and the label text as the reading advances.
    using Progress = std::function<void(int bar, const QString& label)>;

    struct Outcome {
        int emptyCells = 0; // lines holding "<TD></TD>"
        int stored = 0;     // rows appended to cxnr
        int skipped = 0;    // rows that could not be read (cut, broken or malformed), left out
        // The thumbnails to fetch before any other: the first twelve rows of a new keyword
        // whose files the cache lacks, in page order.
        std::vector<PictureItem> firstThumbnails;
        int pictureRecords = 0;         // tpb rows added
        std::optional<Account> account; // the account the page's reply stored
        // The page loaded and has the result table's shape: a table without header cells.
        // A result page with no stored row is an empty result, not a missing network.
        bool resultPage = false;
    };

    ResultPageReader(Objects objects, Search search, RateOffer rate, Progress progress);

    // The whole page at once.
    Outcome read(const PageText& page);

    // The page in steps, so that the window answers between them: begin() takes the page
    // (a shared copy) and looks it over (the account reply, the keyword's count); each
    // readSome() stores rows until `deadline` has passed, at least one, and says whether the
    // page is done. A reading left before it is done ends at a row boundary: the rows
    // stored so far stay. The outcome grows as the reading goes.
    void begin(const PageText& page);
    bool readSome(QDeadlineTimer deadline);
    // The same in steps of one commit each on `connection`, for the window: the first steps
    // look the page over (a long page takes more than one), each stores rows until
    // `deadline`. A step that fails leaves no
    // trace: its writes are rolled back, its rows leave the result and picture queries
    // without being announced, and the outcome and the price history forget them; the
    // error goes on, and the reading is over (the steps before stay stored).
    void start(const PageText& page);
    bool readStep(Connection& connection, QDeadlineTimer deadline);
    const Outcome& outcome() const { return m_outcome; }
    Outcome takeOutcome() { return std::move(m_outcome); }

    static constexpr int RowLines = 13;
    static constexpr int LastReadCell = 11; // hdxx; +12 is not read, +13 only looked into
    static constexpr int ThumbnailsWhileReading = 12;

private:
    // Looks the page over from where the last call left it until `deadline`; true once the
    // whole page is looked over.
    bool lookOver(QDeadlineTimer deadline);
    static constexpr int LookOverCheckLines = 4096; // lines between looks at the clock
    void countKeyword();
    bool rowIsWhole(int rowLine) const;
    bool readRow(int rowLine);
    void finishReading();

    Objects m_db;
    Search m_search;
    QSet<QString> m_recorded; // products of a keyword searched before that have a picture record
    RateOffer m_rate;
    Progress m_progress;
    PageText m_page;
    Outcome m_outcome;
    int m_next = 0; // the next line to look at for a row
    bool m_finished = false;
    bool m_lookedOver = false;
    int m_lookedAt = 0; // the next line to look over
    bool m_sawTable = false;
    bool m_sawHeaderCells = false;
    std::vector<QString> m_newlyRecorded; // products recorded in this step
    qint64 m_day = 0;                     // the reading's day, for every row
};

// A page that brought nothing: the network is likely down.
inline const QString NoNetworkText = QStringLiteral("可能当前网络没有连接，请检查连通后再次搜索。");
// What a page that brought nothing says: a service that answered wrongly is named with what
// went wrong ("比价服务暂时出错（HTTP 500），请稍后再试。"); a load that failed on the way (no
// connection, no answer in time, the connection broken) is the missing network.
QString NothingReadText(const PageText& page);
// A result page that holds no offer.
inline const QString NoResultsText = QStringLiteral("没有找到相关商品，请换个关键词再试。");
// The status text at the end of a reading: "本次搜索结果有: N 条记录", followed by
// "，另有 M 条记录无法读取" when rows could not be read.
QString SearchEndStatus(int rows, int skipped);
inline const QString SearchWaitText = QStringLiteral("正在进行智能比价搜索，请稍后...... ");

} // namespace kova
