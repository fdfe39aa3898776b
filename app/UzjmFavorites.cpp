// The favorites and price-drop commands, the auxiliary window's page reading and the
// favorites grid.
#include "app/Uzjm.h"

#include "favorites/FavoritesGridActions.h"
#include "favorites/FavoritesGridPainter.h"
#include "favorites/FavoritesListReader.h"
#include "favorites/Usc.h"
#include "links/Browser.h"
#include "links/VersionPage.h"
#include "results/PicturePreview.h"
#include "results/ResultGridActions.h"
#include "search/ResultPageReader.h"
#include "service/Requests.h"
#include "store/Error.h"
#include "store/PictureCache.h"
#include "store/SettingsRecord.h"
#include "ui/Messages.h"
#include "ui/ScreenCursor.h"

#include <QCursor>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>

namespace kova {
namespace {

ListMode listModeOf(FavoriteList list)
{
    return list == FavoriteList::PriceDrops ? ListMode::PriceDrops : ListMode::Favorites;
}

FavoriteList listOf(ListMode mode)
{
    return mode == ListMode::PriceDrops ? FavoriteList::PriceDrops : FavoriteList::Favorites;
}

// Every auxiliary window reads through the main window that owns it.
void readThroughOwner(Tfrmsc& aux)
{
    if (auto* owner = qobject_cast<Tfrmkova*>(aux.parentWidget()))
        owner->readAuxiliaryPage(aux);
}

} // namespace

void Tfrmkova::wireFavoriteHandlers()
{
    Tfrmsc::setDefaultReader(&readThroughOwner);
    connect(ui.btn2, &QToolButton::clicked, this, [this] { Guarded([this] { btn2Click(); }); });
    connect(ui.btn3, &QToolButton::clicked, this, [this] { Guarded([this] { btn3Click(); }); });

    DBGridEh& grid = *ui.DBGridEh2;
    grid.setDrawColumnCellHandler(
        [this](GridCanvas& canvas, const QRect& rect, int dataCol, const GridColumn& column,
               GridDrawState state) { DBGridEh2DrawColumnCell(canvas, rect, dataCol, column, state); });
    connect(&grid, &DBGridEh::CellClick, this,
            [this](int col) { Guarded([this, col] { DBGridEh2CellClick(col); }); });
    connect(&grid, &DBGridEh::MouseMoved, this,
            [this](QPoint pos) { Guarded([this, pos] { DBGridEh2MouseMove(pos); }); });
    // Ctrl+Delete deletes at the service too, like the "删除收藏" cell.
    grid.setDeleteRowHandler([this] { deleteFavorite(); });
}

void Tfrmkova::btn2Click()
{
    openFavoriteList(FavoriteList::Favorites);
}

void Tfrmkova::btn3Click()
{
    openFavoriteList(FavoriteList::PriceDrops);
}

void Tfrmkova::openFavoriteList(FavoriteList list)
{
    const FavoriteListTexts& texts = TextsOf(list);
    m_state.ListMode = listModeOf(list);
    ui.btn1->setEnabled(true);
    ui.btn2->setEnabled(list != FavoriteList::Favorites);
    ui.btn3->setEnabled(list != FavoriteList::PriceDrops);

    // A list still loading for an earlier command is superseded: its reply is dropped.
    if (m_listWindow)
        m_listWindow->close();
    auto* aux = new Tfrmsc(
        list == FavoriteList::Favorites ? Tfrmsc::Purpose::Favorites : Tfrmsc::Purpose::PriceDrops, this);
    m_listWindow = aux;
    aux->show();
    ui.StatusBar1->setPanelText(0, texts.status);

    ui.pan01->setVisible(false);
    ui.pan02->setVisible(true);
    ui.pan03->setVisible(false);
    showProgress(0, texts.waiting);

    if (ADOQuery3.isActive() && ADOQuery3.recordCount() > 0) {
        qry3.setSql(QStringLiteral("delete from scnr"));
        qry3.execute();
    }
    ADOQuery3.close();
    ADOQuery3.setSql(QStringLiteral("select * from scnr order by scsj"));
    ADOQuery3.open();

    aux->Memo1.clear();
    const Requests requests;
    aux->WebBrowser1.Navigate(list == FavoriteList::Favorites
                                  ? requests.listFavorites(m_state.UserId, m_state.UserPassword)
                                  : requests.listPriceDrops(m_state.UserId, m_state.UserPassword));
}

void Tfrmkova::readAuxiliaryPage(Tfrmsc& aux)
{
    if (aux.purpose() == Tfrmsc::Purpose::VersionPage) {
        SettingsRecord settings(qry2);
        if (const auto ids = ReadVersionPage(aux.Memo1, settings)) {
            m_state.TaobaoPid = ids->taobaoPid;
            m_state.JdUnionId = ids->jdUnionId;
        }
        return;
    }
    if (&aux != m_listWindow.data())
        return; // a newer list command has emptied scnr and fills it

    const FavoriteList list =
        aux.purpose() == Tfrmsc::Purpose::Favorites ? FavoriteList::Favorites : FavoriteList::PriceDrops;
    const FavoriteListTexts& texts = TextsOf(list);
    // After a search command the list is still stored, but the user is looking at the
    // results: the progress panel, the status bar and messages belong to the search then.
    const bool inView = m_state.ListMode == listModeOf(list);

    SettingsRecord settings(qry2);
    FavoritesListReader reader({ADOQuery3, settings},
                               {m_state.UserId, m_state.AccountReplyExpected, m_state.TempDir,
                                m_state.TaobaoPid, m_state.JdUnionId, priceHistory()},
                               list, [this, inView](int bar, const QString& label) {
                                   if (inView)
                                       showProgress(bar, label);
                               });
    FavoritesListReader::Outcome outcome;
    try {
        outcome = reader.read(aux.Memo1);
    } catch (...) {
        if (inView)
            ui.suiImagePanel1->setVisible(false);
        throw;
    }
    aux.FavPageValid = outcome.pageValid;
    if (outcome.account)
        takeAccount(*outcome.account);
    // The pictures come while the user already looks at the list; an earlier list's fetcher
    // has nothing left to show.
    if (m_favoritesFetcher)
        m_favoritesFetcher->requestStop();
    m_favoritesFetcher.reset();
    if (!outcome.pictures.empty() && PictureCache(m_state.TempDir).prepareFolder()) {
        m_favoritesFetcher = makeFetcher(std::move(outcome.pictures), ui.DBGridEh2);
    }

    if (inView) {
        ui.suiProgressBar1->setValue(100);
        ui.lbl2->setText(texts.end);
        ui.suiProgressBar1->repaint();
        ui.lbl2->repaint();
        ui.suiImagePanel1->setVisible(false);
        if (!outcome.pageValid && ADOQuery3.recordCount() == 0) {
            ShowInfo(NothingReadText(aux.Memo1));
            return;
        }
    }
    ADOQuery3.first();
    if (inView)
        ui.StatusBar1->setPanelText(0, texts.countText(ADOQuery3.recordCount()));
    for (int col = 0; col < ui.DBGridEh2->columnCountEh(); ++col) {
        if (FavoriteColumnIsLink(ui.DBGridEh2->column(col).field))
            ui.DBGridEh2->setColumnFontColor(col, FavoriteLinkColor);
    }
}

void Tfrmkova::DBGridEh2DrawColumnCell(GridCanvas& canvas, const QRect& rect, int dataCol,
                                       const GridColumn& column, GridDrawState state)
{
    DrawFavoriteCell(canvas, rect, column, state, PictureCache(m_state.TempDir),
                     [&] { ui.DBGridEh2->DefaultDrawColumnCell(canvas, rect, dataCol, column, state); });
}

void Tfrmkova::DBGridEh2MouseMove(QPoint pos)
{
    FavGridMouseY = pos.y();
    const GridCoord at = ui.DBGridEh2->MouseCoord(pos);
    if (!FavoriteGridPointerActs(at))
        return;
    const QString field = ui.DBGridEh2->column(at.col).field;
    SetScreenCursor(FavoriteGridCursor(field));
    if (FavoriteGridHidesPreview(field))
        HidePreview();
}

void Tfrmkova::DBGridEh2CellClick(int dataCol)
{
    if (dataCol < 0 || dataCol >= ui.DBGridEh2->columnCountEh() || !ADOQuery3.isActive() ||
        ADOQuery3.recordCount() == 0)
        return;
    switch (FavoriteCellActionFor(ui.DBGridEh2->column(dataCol).field)) {
    case FavoriteCellAction::OpenProduct:
        OpenInBrowser(ADOQuery3.fieldText(QStringLiteral("cplj")));
        break;
    case FavoriteCellAction::OpenComparison:
        OpenInBrowser(Requests().preciseComparison(ADOQuery3.fieldText(QStringLiteral("cpmc"))));
        break;
    case FavoriteCellAction::DeleteFavorite:
        deleteFavorite();
        break;
    case FavoriteCellAction::PreviewPicture:
        showPicturePreview(*ui.DBGridEh2,
                           QPoint(ui.BigPanel->x(), FavoritePreviewTop(height(), FavGridMouseY)));
        break;
    case FavoriteCellAction::None:
        break;
    }
}

void Tfrmkova::deleteFavorite()
{
    if (!ADOQuery3.isActive() || ADOQuery3.recordCount() == 0)
        return;
    const QString ufid = ADOQuery3.fieldText(QStringLiteral("ufid")).trimmed();
    if (ufid.isEmpty())
        return;
    if (!AskOkCancel(DeleteFavoriteQuestion))
        return;
    const QString cph = ADOQuery3.fieldText(QStringLiteral("cph"));
    // The row goes at once; the service is told without waiting for its reply, after any
    // request of the page loader still under way.
    ADOQuery3.deleteRow();
    navigate(
        NavigationPurpose::DeleteFavorite,
        [url = Requests().deleteFavorite(m_state.UserId, m_state.UserPassword, ufid)] { return url; }, cph);
    ui.StatusBar1->setPanelText(0, TextsOf(listOf(m_state.ListMode)).countText(ADOQuery3.recordCount()));
}

void Tfrmkova::wbwebbFavoriteDeleteComplete(const QString& cph)
{
    // The service no longer keeps it: the result rows of the product invite a favorite again.
    unmarkResultFavorite(cph);
}

void Tfrmkova::showPicturePreview(DBGridEh& grid, QPoint panelPos)
{
    const Dataset* rows = grid.dataset();
    if (rows == nullptr || !rows->isActive() || rows->recordCount() == 0)
        return;
    const QString cph = rows->fieldText(QStringLiteral("cph"));
    const QString dtp = rows->fieldText(QStringLiteral("dtp"));
    const PictureCache cache(m_state.TempDir);
    // A product number that cannot name a file has no picture to show.
    if (dtp.isEmpty() || cache.largePicturePath(cph).isEmpty())
        return;
    m_pendingPreview = {&grid, cph, panelPos};
    if (QFileInfo::exists(cache.largePicturePath(cph))) {
        m_previewDownload.reset();
        const HourglassCursor hourglass;
        showPreviewPicture(LoadLargePicture(*IdHTTP, cache, cph, dtp), panelPos);
        return;
    }
    if (m_previewDownload && m_previewDownload->cph() == cph)
        return; // on its way already; it shows where the pointer is now
    m_previewDownload = std::make_unique<LargePictureDownload>(cph, dtp, cache);
    m_previewDownload->setTimeouts(m_pictureConnectTimeout, m_pictureStallTimeout);
    // A download replaced by a newer click may still have its signal on the way.
    connect(m_previewDownload.get(), &LargePictureDownload::Ready, this,
            [this, generation = ++m_previewGeneration] {
                if (generation == m_previewGeneration && m_previewDownload)
                    Guarded([this] { largePictureReady(); });
            });
    SetScreenCursor(ScreenCursor::Hourglass);
    m_previewDownload->start();
}

void Tfrmkova::largePictureReady()
{
    const std::unique_ptr<LargePictureDownload> download = std::move(m_previewDownload);
    download->wait();
    SetScreenCursor(ScreenCursor::Default);
    const PendingPreview pending = m_pendingPreview;
    m_pendingPreview = {};
    // The user has moved on: the picture waits in the cache for the next click.
    if (pending.grid == nullptr || pending.cph != download->cph() ||
        !pointerOnPictureCell(*pending.grid, pending.cph))
        return;
    if (!download->error().isEmpty())
        throw Error(download->error());
    showPreviewPicture(download->picture(), pending.panelPos);
}

void Tfrmkova::showPreviewPicture(const QImage& picture, QPoint panelPos)
{
    ui.BigImage->setPixmap(QPixmap::fromImage(picture));
    ui.BigPanel->move(panelPos);
    ui.BigPanel->raise();
    ui.BigImage->setVisible(true);
    ui.BigPanel->setVisible(true);
    ui.BigImage->repaint();
    ui.BigPanel->repaint();
}

bool Tfrmkova::pointerOnPictureCell(DBGridEh& grid, const QString& cph) const
{
    if (!grid.isVisible() || grid.dataset() == nullptr)
        return false;
    const QPoint at = grid.viewport()->mapFromGlobal(QCursor::pos());
    if (!grid.viewport()->rect().contains(at))
        return false;
    const QModelIndex cell = grid.indexAt(at);
    if (!cell.isValid())
        return false;
    const bool pictureColumn =
        &grid == ui.DBGridEh1
            ? ResultCellActionFor(grid.column(cell.column()).field) == ResultCellAction::PreviewPicture
            : FavoriteCellActionFor(grid.column(cell.column()).field) == FavoriteCellAction::PreviewPicture;
    if (!pictureColumn)
        return false;
    const Dataset& rows = *grid.dataset();
    const int cphColumn = indexOfField(rows.fieldNames(), QStringLiteral("cph"));
    return cphColumn >= 0 && cell.row() < rows.recordCount() &&
           rows.fieldAt(cell.row(), cphColumn).toString() == cph;
}

} // namespace kova
