// The thumbnail fetchers of the result and favorites grids: what they fetch, the rows on
// screen they take first, the repaints while pictures arrive.
#include "app/Uzjm.h"

#include "store/Connection.h"

#include <QScrollBar>

#include <algorithm>

namespace kova {
namespace {

// The product numbers of the rows `grid` shows now, top to bottom.
QStringList visibleProducts(const DBGridEh& grid)
{
    const Dataset* rows = grid.dataset();
    if (rows == nullptr || !rows->isActive() || !grid.isVisible())
        return {};
    const QStringList fields = rows->fieldNames();
    const auto named = std::find_if(fields.begin(), fields.end(), [](const QString& field) {
        return field.compare(QLatin1String("cph"), Qt::CaseInsensitive) == 0;
    });
    const int cph = named == fields.end() ? -1 : static_cast<int>(named - fields.begin());
    const int count = rows->recordCount();
    if (cph < 0 || count == 0)
        return {};
    const QWidget* view = grid.viewport();
    const int top = std::max(grid.rowAt(0), 0);
    int bottom = grid.rowAt(view->height() - 1);
    if (bottom < 0)
        bottom = count - 1; // the rows end above the bottom edge
    QStringList products;
    for (int row = top; row <= bottom && row < count; ++row)
        products.append(rows->fieldAt(row, cph).toString());
    return products;
}

} // namespace

// Every result row as (product, picture address), in price order: the three fields read
// from the table and ordered here, which costs a fraction of reading whole rows in the
// order of the numeric collation.
std::vector<PictureItem> Tfrmkova::resultRowsInPriceOrder()
{
    Dataset* source = &ADOQuery4;
    ADOQuery4.close();
    ADOQuery4.setSql(QStringLiteral("select cph, xtp, jg from cxnr"));
    ADOQuery4.open();
    const QStringList fields = source->fieldNames();
    const auto column = [&](QLatin1String name) {
        for (int i = 0; i < fields.size(); ++i) {
            if (fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    };
    const int cph = column(QLatin1String("cph"));
    const int xtp = column(QLatin1String("xtp"));
    const int jg = column(QLatin1String("jg"));
    struct Row {
        QByteArray price;
        PictureItem item;
    };
    std::vector<Row> rows;
    const int count = source->recordCount();
    rows.reserve(static_cast<size_t>(count));
    const auto text = [source](int row, int col) {
        const QVariant value = col < 0 ? QVariant() : source->fieldAt(row, col);
        return value.isNull() ? QString() : value.toString();
    };
    for (int row = 0; row < count; ++row)
        rows.push_back({text(row, jg).toUtf8(), {text(row, cph), text(row, xtp)}});
    // The order "order by jg" gives: the numeric collation of the price column; equal prices
    // in the table's order.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return compareNumericText(a.price.constData(), static_cast<int>(a.price.size()), b.price.constData(),
                                  static_cast<int>(b.price.size())) < 0;
    });
    ADOQuery4.close(); // the fetcher has its own list
    std::vector<PictureItem> items;
    items.reserve(rows.size());
    for (Row& row : rows)
        items.push_back(std::move(row.item));
    return items;
}

void Tfrmkova::StartThumbnailFetcher(std::vector<PictureItem> first)
{
    // Every row whose thumbnail the cache lacks, also one that failed at an earlier search;
    // the first twelve of a new keyword go first, then the rows on screen, then the rest in
    // price order. Which files the cache has already is found out on the fetcher's threads
    // (it passes over them without a request): ten thousand looks at the disk here would
    // hold up the window.
    std::vector<PictureItem> items = std::move(first);
    QSet<QString> named;
    for (const PictureItem& item : items)
        named.insert(item.cph);
    const size_t leading = items.size();
    std::vector<PictureItem> rows = resultRowsInPriceOrder();
    items.reserve(items.size() + rows.size());
    for (PictureItem& row : rows) {
        if (row.cph.isEmpty() || named.contains(row.cph))
            continue;
        named.insert(row.cph);
        items.push_back(std::move(row));
    }
    if (items.empty())
        return;
    std::erase_if(m_fetchers, [](const std::unique_ptr<TGetMM>& f) { return f->isFinished(); });
    m_fetchers.push_back(makeFetcher(std::move(items), ui.DBGridEh1, leading));
}

std::unique_ptr<TGetMM> Tfrmkova::makeFetcher(std::vector<PictureItem> items, DBGridEh* grid, size_t leading)
{
    auto fetcher = std::make_unique<TGetMM>(std::move(items), m_state.TempDir, m_thumbnailFailures);
    fetcher->setTimeouts(m_pictureConnectTimeout, m_pictureStallTimeout);
    fetcher->setLeadingCount(leading);
    // The rows on screen come next: those shown now, and those a scroll or a resize brings.
    TGetMM* raw = fetcher.get();
    const auto tell = [raw, grid] { raw->showProducts(visibleProducts(*grid)); };
    tell();
    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, raw, tell);
    connect(grid->verticalScrollBar(), &QScrollBar::rangeChanged, raw, tell);
    connect(raw, &TGetMM::repaintDue, grid, [grid] { grid->viewport()->update(); });
    fetcher->start();
    return fetcher;
}

void Tfrmkova::setPictureTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall)
{
    m_pictureConnectTimeout = connect;
    m_pictureStallTimeout = stall;
}

} // namespace kova
