#include "search/ResultPageReader.h"

#include "links/AffiliateLinks.h"
#include "service/HtmlToText.h"
#include "service/PageText.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Error.h"
#include "store/PictureCache.h"
#include "store/PlainText.h"
#include "store/PriceHistory.h"
#include "store/SettingsRecord.h"
#include "store/Trace.h"

#include <QDate>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <utility>

namespace kova {
namespace {

// The markers are ASCII: they are looked for in a line's UTF-8 as it is.
constexpr QByteArrayView EmptyCell("<TD></TD>");
constexpr QByteArrayView RowStart("<TR>");
constexpr QByteArrayView CellEnd("</TD>");
constexpr QByteArrayView TableName("TABLE");
constexpr QByteArrayView HeaderName("TH");

// The tpid values of the picture records the keyword's query holds.
QSet<QString> recordedProducts(const Dataset& pictures)
{
    QSet<QString> recorded;
    if (!pictures.isActive())
        return recorded;
    const QStringList names = pictures.fieldNames();
    const auto at = std::find_if(names.begin(), names.end(), [](const QString& name) {
        return name.compare(QLatin1String("tpid"), Qt::CaseInsensitive) == 0;
    });
    if (at == names.end())
        return recorded;
    const int column = static_cast<int>(at - names.begin());
    for (int row = 0; row < pictures.recordCount(); ++row)
        recorded.insert(pictures.fieldAt(row, column).toString());
    return recorded;
}

// Whether the line holds "<" and then `name` in any case, as a case-insensitive search for
// "<" + name finds it; only the places of "<" are compared.
bool hasTagStart(QByteArrayView line, QByteArrayView name)
{
    for (qsizetype at = line.indexOf('<'); at >= 0; at = line.indexOf('<', at + 1)) {
        const QByteArrayView rest = line.sliced(at + 1);
        if (rest.size() >= name.size() && qstrnicmp(rest.data(), name.data(), name.size()) == 0)
            return true;
    }
    return false;
}

std::optional<qint64> wholeNumber(const QString& text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

QString CellValue(const QString& line)
{
    return CellValue(QStringView(line));
}

QString CellValue(QStringView line)
{
    const qsizetype end = line.indexOf(u"</TD>");
    if (end < 4)
        return {};
    return line.sliced(4, end - 4).toString();
}

QString CellValue(QByteArrayView utf8Line)
{
    // Characters are counted: only an ASCII start has its fifth character at its fifth byte.
    for (qsizetype i = 0; i < std::min<qsizetype>(utf8Line.size(), 4); ++i) {
        if (static_cast<unsigned char>(utf8Line[i]) >= 0x80)
            return CellValue(QString::fromUtf8(utf8Line));
    }
    const qsizetype end = utf8Line.indexOf(CellEnd);
    if (end < 4)
        return {};
    return QString::fromUtf8(utf8Line.sliced(4, end - 4));
}

QString SearchEndStatus(int rows, int skipped)
{
    QString text = QStringLiteral("本次搜索结果有: %1 条记录").arg(rows);
    if (skipped > 0)
        text += QStringLiteral("，另有 %1 条记录无法读取").arg(skipped);
    return text;
}

QString NothingReadText(const PageText& page)
{
    if (page.failedLoad() && !page.serviceError().isEmpty())
        return QStringLiteral("比价服务暂时出错（%1），请稍后再试。").arg(page.serviceError());
    return NoNetworkText;
}

qint64 DayNumber()
{
    return QDate(1899, 12, 30).daysTo(QDate::currentDate());
}

ResultPageReader::ResultPageReader(Objects objects, Search search, RateOffer rate, Progress progress)
    : m_db(objects), m_search(std::move(search)), m_rate(std::move(rate)), m_progress(std::move(progress))
{
}

ResultPageReader::Outcome ResultPageReader::read(const PageText& page)
{
    begin(page);
    while (!readSome(QDeadlineTimer(QDeadlineTimer::Forever))) {
    }
    return takeOutcome();
}

void ResultPageReader::begin(const PageText& page)
{
    start(page);
    lookOver(QDeadlineTimer(QDeadlineTimer::Forever));
}

void ResultPageReader::start(const PageText& page)
{
    m_page = page;
    m_outcome = {};
    m_next = 0;
    m_finished = false;
    m_lookedOver = false;
    m_lookedAt = 0;
    m_recorded.clear();
}

bool ResultPageReader::readStep(Connection& connection, QDeadlineTimer deadline)
{
    const Outcome before = m_outcome;
    const int next = m_next;
    const bool lookedOver = m_lookedOver;
    const int lookedAt = m_lookedAt;
    const bool sawTable = m_sawTable;
    const bool sawHeaderCells = m_sawHeaderCells;
    const int sightings = m_search.history ? m_search.history->pending() : 0;
    m_newlyRecorded.clear();
    Dataset::AppendBatch rows(m_db.results);
    Dataset::AppendBatch pictures(m_db.pictures);
    try {
        CommitGroup group(connection);
        const bool done = readSome(deadline);
        group.commit();
        return done;
    } catch (...) {
        rows.discard();
        pictures.discard();
        m_outcome = before;
        m_next = next;
        m_lookedOver = lookedOver;
        m_lookedAt = lookedAt;
        m_sawTable = sawTable;
        m_sawHeaderCells = sawHeaderCells;
        for (const QString& cph : m_newlyRecorded)
            m_recorded.remove(cph);
        if (m_search.history)
            m_search.history->dropPending(sightings);
        // The keyword's count and an account reply were rolled back with the step: their
        // cursors read what is stored again.
        if (!lookedOver) {
            try {
                if (!m_search.word.isEmpty())
                    m_db.words.open();
                if (m_search.accountReplyExpected)
                    m_db.settings.openOrCreate();
            } catch (const Error&) { // the step's own error is the one to report
            }
        }
        throw;
    }
}

bool ResultPageReader::lookOver(QDeadlineTimer deadline)
{
    if (m_lookedAt == 0) {
        m_day = DayNumber();
        m_progress(20, SearchWaitText);
        m_sawTable = false;
        m_sawHeaderCells = false;
    }
    // A long page is looked over in steps as well: 200,000 rows are nearly three million
    // lines.
    const int lines = m_page.count();
    for (int i = m_lookedAt; i < lines; ++i) {
        if (i > m_lookedAt && i % LookOverCheckLines == 0 && deadline.hasExpired()) {
            m_lookedAt = i;
            return false;
        }
        const QByteArrayView line = m_page.lineUtf8(i);
        // The account reply is in the first lines.
        if (i < 4 && m_search.accountReplyExpected && !m_outcome.account) {
            if (auto account = ApplyAccountReplyRule(QString::fromUtf8(line), i, m_page.failedLoad(), true,
                                                     m_db.settings))
                m_outcome.account = std::move(account);
        }
        if (line.contains(EmptyCell))
            ++m_outcome.emptyCells;
        m_sawTable = m_sawTable || hasTagStart(line, TableName);
        m_sawHeaderCells = m_sawHeaderCells || hasTagStart(line, HeaderName);
    }
    m_lookedAt = lines;
    m_lookedOver = true;
    // The loader's own error page and the service's error and missing-page answers carry
    // no table; the result table has no header row.
    m_outcome.resultPage = !m_page.failedLoad() && m_sawTable && !m_sawHeaderCells;

    countKeyword();
    if (m_search.wordHasPictures)
        m_recorded = recordedProducts(m_db.pictures);
    // Every result row carries one empty cell, so a page of one offer has one such line.
    if (m_outcome.emptyCells < 1)
        m_next = lines;
    return true;
}

bool ResultPageReader::readSome(QDeadlineTimer deadline)
{
    if (!m_lookedOver && !lookOver(deadline))
        return false;
    const int lines = m_page.count();
    bool readOne = false;
    while (m_next < lines) {
        if (!m_page.lineUtf8(m_next).contains(RowStart)) {
            ++m_next;
            continue;
        }
        // Ends before a row, so the lines after the last row are read with it.
        if (readOne && deadline.hasExpired())
            return false;
        readRow(m_next++);
        readOne = true;
    }
    finishReading();
    return true;
}

void ResultPageReader::finishReading()
{
    if (std::exchange(m_finished, true))
        return;
    // The first-run account reply is read here too; it is no search's page.
    if (trace::enabled() && !m_search.accountReplyExpected)
        trace::mark(trace::Event::LastRowStored, m_outcome.stored);
}

void ResultPageReader::countKeyword()
{
    // An empty keyword (the account reply before any search) is not a search.
    if (m_search.word.isEmpty())
        return;
    Dataset& words = m_db.words;
    if (words.locate(QStringLiteral("word"), m_search.word)) {
        words.edit();
        words.setField(QStringLiteral("count"), words.field(QStringLiteral("count")).toLongLong() + 1);
    } else {
        words.append();
        words.setField(QStringLiteral("word"), m_search.word);
    }
    words.post();
}

// Every cell the row is read from holds its whole text: a line cut at its length limit or a
// cell broken over two lines has no "</TD>", and a row whose lines run into the next row's
// "<TR>" lacks cells. Such a row is not read from wrong lines.
bool ResultPageReader::rowIsWhole(int rowLine) const
{
    if (rowLine + RowLines >= m_page.count())
        return false;
    for (int offset = 1; offset <= RowLines; ++offset) {
        const QByteArrayView line = m_page.lineUtf8(rowLine + offset);
        if (line.contains(RowStart))
            return false;
        if (offset <= LastReadCell && !line.contains(CellEnd))
            return false;
    }
    return true;
}

bool ResultPageReader::readRow(int rowLine)
{
    const PageText& page = m_page;
    Outcome& outcome = m_outcome;
    // A row cut short by the end of the page or broken in its lines, or with a row number
    // or popularity that is not a whole number, is left out and counted; the reading goes on
    // at the next row.
    if (!rowIsWhole(rowLine)) {
        ++outcome.skipped;
        return false;
    }
    auto cell = [&](int offset) { return StripBidiControls(CellValue(page.lineUtf8(rowLine + offset))); };
    const auto bh = wholeNumber(cell(1));
    const QString rc = cell(6);
    const auto count = rc.isEmpty() ? std::optional<qint64>(0) : wholeNumber(rc);
    if (!bh || !count) {
        ++outcome.skipped;
        return false;
    }
    const QString cph = cell(2);
    const QString cpmc = cell(3);
    const QString xtp = cell(4);
    const QString sjlx = cell(9);

    Dataset& rows = m_db.results;
    rows.append();
    rows.setField(QStringLiteral("bh"), *bh);
    rows.setField(QStringLiteral("bz1"), QStringLiteral("加载中…"));
    rows.setField(QStringLiteral("bz2"), QStringLiteral("精准比价"));
    rows.setField(QStringLiteral("cxrq"), m_day);
    const std::pair<const char*, int> plainCells[] = {{"cph", 2}, {"cpmc", 3}, {"xtp", 4},
                                                      {"dtp", 5}, {"rc", 6},   {"jg", 7}};
    for (const auto& [column, offset] : plainCells) {
        const QString value = cell(offset);
        if (!value.isEmpty())
            rows.setField(QString::fromLatin1(column), value);
    }
    const QString link = cell(8);
    if (!link.isEmpty())
        rows.setField(QStringLiteral("cplj"),
                      RewriteAffiliateIds(HtmlToText(link), m_search.taobaoPid, m_search.jdUnionId));
    const std::pair<const char*, int> moreCells[] = {{"sjlx", 9}, {"cxsj", 10}, {"hdxx", 11}};
    for (const auto& [column, offset] : moreCells) {
        const QString value = cell(offset);
        if (!value.isEmpty())
            rows.setField(QString::fromLatin1(column), value);
    }
    if (!rc.isEmpty() && m_rate) {
        const OfferRatings ratings = m_rate(*count, sjlx, cpmc);
        rows.setField(QStringLiteral("zpbz"), ratings.authenticity);
        rows.setField(QStringLiteral("pjjb"), ratings.stars);
    }
    const bool favorite = page.lineUtf8(rowLine + 13).contains("Yes");
    rows.setField(QStringLiteral("check"), favorite ? QStringLiteral("已收藏") : QStringLiteral("点击收藏"));
    rows.post();
    if (m_search.history)
        m_search.history->sight(cph, cell(7), sjlx, cpmc);

    if (++outcome.stored == 1)
        trace::mark(trace::Event::FirstRowStored);
    const int bar = std::min(100, 20 + outcome.stored * 100 / outcome.emptyCells);
    m_progress(bar, QStringLiteral("正在进行智能比价搜索： （") + sjlx + QStringLiteral("） ") + cpmc);

    if (!m_search.wordHasPictures && outcome.stored <= ThumbnailsWhileReading) {
        const QString path = PictureCache(m_search.tempDir).thumbnailPath(cph);
        if (!path.isEmpty() && !QFileInfo::exists(path))
            outcome.firstThumbnails.push_back({cph, xtp});
    }
    // A keyword searched before records only the products new to it, so that their
    // thumbnails are drawn too.
    if (!m_search.wordHasPictures || !m_recorded.contains(cph)) {
        Dataset& pictures = m_db.pictures;
        pictures.append();
        pictures.setField(QStringLiteral("word"), m_search.word);
        pictures.setField(QStringLiteral("tpid"), cph);
        pictures.setField(QStringLiteral("bh"), QString::number(*bh));
        pictures.post();
        ++outcome.pictureRecords;
        if (m_search.wordHasPictures) {
            m_recorded.insert(cph);
            m_newlyRecorded.push_back(cph);
        }
    }
    return true;
}

} // namespace kova
