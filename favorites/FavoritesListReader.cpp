#include "favorites/FavoritesListReader.h"

#include "links/AffiliateLinks.h"
#include "search/ResultPageReader.h"
#include "service/HtmlToText.h"
#include "service/PageText.h"
#include "service/PictureDownload.h"
#include "store/Dataset.h"
#include "store/PictureCache.h"
#include "store/PlainText.h"
#include "store/PriceHistory.h"

#include <QFileInfo>

#include <algorithm>
#include <array>

namespace kova {
namespace {

const QString RowStart = QStringLiteral("<TR>");
const QString HeaderCaption = QStringLiteral("序列");

// scnr columns of the twelve cells, in cell order.
const std::array<const char*, FavoritesListReader::CellCount> CellColumns{
    "ufid", "user", "scid", "cph", "cpmc", "xtp", "dtp", "scsj", "scjg", "gxjg", "cplj", "sjlx"};
constexpr int LinkCell = 11;

} // namespace

QString FavoriteListTexts::rowText(const QString& merchant, const QString& name) const
{
    return row + merchant + QStringLiteral("） ") + name;
}

QString FavoriteListTexts::countText(int rows) const
{
    return count + QString::number(rows) + QStringLiteral(" 条记录");
}

const FavoriteListTexts& TextsOf(FavoriteList list)
{
    static const FavoriteListTexts favorites{
        QStringLiteral("当前操作: 商品收藏夹"),
        QStringLiteral("正在获取商品收藏夹数据，请稍后...... "),
        QStringLiteral("正在获取商品收藏夹数据： （"),
        QStringLiteral("获取商品收藏夹数据结束 "),
        QStringLiteral("您收藏的商品共有: "),
    };
    static const FavoriteListTexts priceDrops{
        QStringLiteral("当前操作: 商品降价通知"),     QStringLiteral("正在获取商品降价通知，请稍后...... "),
        QStringLiteral("正在获取商品降价通知： （"),  QStringLiteral("获取商品降价通知结束 "),
        QStringLiteral("您收藏的商品共有降价通知: "),
    };
    return list == FavoriteList::Favorites ? favorites : priceDrops;
}

int ListProgress(int stored, int rowLines)
{
    if (rowLines <= 0)
        return 100;
    return std::min(100, 10 + stored * 100 / rowLines);
}

FavoritesListReader::FavoritesListReader(Objects objects, Context context, FavoriteList list,
                                         Progress progress)
    : m_db(objects), m_context(std::move(context)), m_texts(TextsOf(list)), m_progress(std::move(progress))
{
}

FavoritesListReader::Outcome FavoritesListReader::read(const PageText& page)
{
    Outcome outcome;
    const int lines = page.count();
    for (int i = 0; i < lines; ++i) {
        const QString line = page.line(i);
        // The user id is looked for as it stands now: the account reply may set it.
        const QString& userId = outcome.account ? outcome.account->userId : m_context.userId;
        if (line.contains(HeaderCaption) || (!userId.isEmpty() && line.contains(userId)))
            outcome.pageValid = true;
        if (auto stored = ApplyAccountReplyRule(line, i, page.failedLoad(),
                                                m_context.replyExpected && !outcome.account, m_db.settings))
            outcome.account = std::move(stored);
        if (line.contains(RowStart))
            ++outcome.rowLines;
    }

    if (outcome.rowLines <= 1 || !outcome.pageValid)
        return outcome;
    for (int i = 0; i < lines; ++i) {
        if (page.line(i).contains(RowStart) && !page.line(i + 1).contains(HeaderCaption))
            readRow(page, i, outcome);
    }
    return outcome;
}

void FavoritesListReader::readRow(const PageText& page, int rowLine, Outcome& outcome)
{
    // A "<TR>" line without its twelve cell lines before the end of the page starts no row:
    // past the end every line reads as empty, and an empty row is no favorite.
    if (rowLine + CellCount >= page.count()) {
        ++outcome.skipped;
        return;
    }
    std::array<QString, CellCount> cells;
    for (int k = 0; k < CellCount; ++k)
        cells[static_cast<size_t>(k)] = StripBidiControls(CellValue(page.line(rowLine + 1 + k)));
    QString& link = cells[LinkCell - 1];
    if (!link.isEmpty())
        link = RewriteAffiliateIds(HtmlToText(link), m_context.taobaoPid, m_context.jdUnionId);

    Dataset& rows = m_db.favorites;
    rows.append();
    rows.setField(QStringLiteral("scrq"), DayNumber());
    rows.setField(QStringLiteral("bz2"), QStringLiteral("删除收藏"));
    rows.setField(QStringLiteral("jjcj"), QStringLiteral("精准比价"));
    for (size_t k = 0; k < cells.size(); ++k) {
        if (!cells[k].isEmpty())
            rows.setField(QString::fromLatin1(CellColumns[k]), cells[k]);
    }
    rows.post();
    if (m_context.history)
        m_context.history->sight(cells[3], cells[9], cells[11], cells[4]);
    ++outcome.stored;

    const QString picture = PictureCache(m_context.tempDir).thumbnailPath(cells[3]);
    if (!picture.isEmpty() && !QFileInfo::exists(picture))
        outcome.pictures.push_back({cells[3], cells[5]});

    m_progress(ListProgress(outcome.stored, outcome.rowLines), m_texts.rowText(cells[11], cells[4]));
}

} // namespace kova
