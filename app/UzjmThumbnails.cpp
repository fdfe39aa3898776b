// The thumbnail fetchers of the result and favorites grids: what they fetch, the rows on
// screen they take first, the repaints while pictures arrive.
#include "app/Uzjm.h"

#include "store/Connection.h"
#include "store/Statement.h"

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

void Tfrmkova::StartThumbnailFetcher(std::vector<PictureItem> first)
{
    // Every row whose thumbnail the cache lacks, also one that failed at an earlier search;
    // the first twelve of a new keyword go first, then the rows on screen, then the rest in
    // price order. The rest is listed and ordered on the fetcher's thread, and which files
    // the cache has already is found out there too (it passes over them without a
    // request): a list of two hundred thousand rows, or as many looks at the disk, made
    // here would hold up the window.
    if (first.empty() && !hasResultRows())
        return;
    const size_t leading = first.size();
    std::unique_ptr<TGetMM> fetcher =
        makeFetcher(std::move(first), ui.DBGridEh1, leading,
                    [path = ADOConnection1.path()] { return ResultPicturesInPriceOrder(path); });
    std::erase_if(m_fetchers, [](const std::unique_ptr<TGetMM>& f) { return f->isFinished(); });
    m_fetchers.push_back(std::move(fetcher));
}

bool Tfrmkova::hasResultRows()
{
    Statement any(ADOConnection1.handle(), QByteArrayLiteral("select 1 from cxnr limit 1"));
    return any.step();
}

std::unique_ptr<TGetMM> Tfrmkova::makeFetcher(std::vector<PictureItem> items, DBGridEh* grid, size_t leading,
                                              TGetMM::ListMaker more)
{
    auto fetcher = std::make_unique<TGetMM>(std::move(items), m_state.TempDir, m_thumbnailFailures);
    if (more)
        fetcher->setMoreItems(std::move(more));
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
