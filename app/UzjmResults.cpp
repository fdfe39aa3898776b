// The result grid's drawing, clicks and pointer.
#include "app/Uzjm.h"

#include "links/Browser.h"
#include "results/FavoriteRequestQueue.h"
#include "results/PicturePreview.h"
#include "results/ResultCellPainter.h"
#include "results/ResultGridActions.h"
#include "service/Requests.h"
#include "store/PictureCache.h"
#include "store/Trace.h"
#include "ui/Messages.h"
#include "ui/ScreenCursor.h"

#include <QPixmap>
#include <QScopeGuard>

namespace kova {

void Tfrmkova::wireResultHandlers()
{
    m_favoriteRequests = std::make_shared<FavoriteRequestQueue>();
    DBGridEh* grid = ui.DBGridEh1;
    grid->setDrawColumnCellHandler(
        [this](GridCanvas& canvas, const QRect& rect, int dataCol, const GridColumn& column,
               GridDrawState state) { DBGridEh1DrawColumnCell(canvas, rect, dataCol, column, state); });
    connect(grid, &DBGridEh::CellClick, this,
            [this](int col) { Guarded([this, col] { DBGridEh1CellClick(col); }); });
    connect(grid, &DBGridEh::MouseMoved, this,
            [this](QPoint pos) { Guarded([this, pos] { DBGridEh1MouseMove(pos); }); });
    connect(&WebBrowser1, &PageLoader::DocumentComplete, this,
            [this] { Guarded([this] { WebBrowser1DocumentComplete(); }); });
}

void Tfrmkova::DBGridEh1DrawColumnCell(GridCanvas& canvas, const QRect& rect, int dataCol,
                                       const GridColumn& column, GridDrawState state)
{
    trace::resultCellPainted();
    const ResultCellPainter painter(
        PictureCache(m_state.TempDir), [this](const QString& cph) { return m_pictureRecords.find(cph); },
        [this](const QString& cph) { return m_thumbnailFailures->failed(cph); },
        [this](const QString& cph) { m_thumbnailFailures->record(cph, ThumbnailFetch::Failed); });
    painter.paint(canvas, rect, column.field, state,
                  [&] { ui.DBGridEh1->DefaultDrawColumnCell(canvas, rect, dataCol, column, state); });
}

void Tfrmkova::DBGridEh1CellClick(int dataCol)
{
    switch (ResultCellActionFor(ui.DBGridEh1->column(dataCol).field)) {
    case ResultCellAction::OpenProduct:
        OpenInBrowser(ADOQuery2.fieldText(QStringLiteral("cplj")));
        break;
    case ResultCellAction::OpenComparison:
        OpenInBrowser(Requests().preciseComparison(ADOQuery2.fieldText(QStringLiteral("cpmc"))));
        break;
    case ResultCellAction::AddFavorite:
        addResultFavorite();
        break;
    case ResultCellAction::PreviewPicture:
        showPicturePreview(*ui.DBGridEh1,
                           ResultPreviewPosition(ui.BigPanel->pos(), ResultGridMouseY, ui.BigPanel->size(),
                                                 ui.BigPanel->parentWidget()->rect()));
        break;
    case ResultCellAction::None:
        break;
    }
}

void Tfrmkova::addResultFavorite()
{
    const QString bh = ADOQuery2.fieldText(QStringLiteral("bh"));
    if (bh.isEmpty())
        return;
    const auto hideProgress = [this] {
        ui.suiImagePanel1->setVisible(false);
        ui.suiImagePanel1->lower();
        ui.suiImagePanel1->repaint();
    };
    hideProgress();
    const QString cph = ADOQuery2.fieldText(QStringLiteral("cph"));
    if (ADOQuery2.fieldText(QStringLiteral("check")) != FavoriteInviteText) {
        ShowInfo(FavoriteAlreadyText);
    } else if (m_state.UserId.isEmpty()) {
        // Without an account the service cannot keep the favorite: nothing is sent.
        ShowInfo(FavoriteNoAccountText);
    } else if (m_favoriteRequests->contains(bh, cph)) {
        ShowInfo(FavoritePendingText);
    } else {
        // The row is marked and success reported when the service's reply has come.
        m_favoriteRequests->add({bh, cph, Requests().addFavorite(m_state.UserId, m_state.UserPassword, bh)});
        sendNextFavorite();
    }
    hideProgress();
}

void Tfrmkova::sendNextFavorite()
{
    if (const auto next = m_favoriteRequests->startNext())
        WebBrowser1.Navigate(next->url);
}

void Tfrmkova::WebBrowser1DocumentComplete()
{
    const auto done = m_favoriteRequests->finish();
    if (!done)
        return;
    const bool failed = WebBrowser1.lastLoadFailed();
    // Whatever becomes of this reply, the requests behind it still go out.
    auto sendNext = qScopeGuard([this] { sendNextFavorite(); });
    if (!failed)
        markResultFavorite(done->bh, done->cph);
    sendNext.dismiss();
    sendNextFavorite();
    ShowInfo(failed ? FavoriteFailedText : FavoriteAddedText);
}

void Tfrmkova::markResultFavorite(const QString& bh, const QString& cph)
{
    const int row = FindResultRow(ADOQuery2, bh, cph);
    if (row < 0) {
        // Filtered out of the list meanwhile: the table still remembers it.
        ADOConnection1.execute(QStringLiteral("update cxnr set \"check\"=? where bh=? and cph=?"),
                               {FavoriteDoneText, bh, cph});
        return;
    }
    const int current = ADOQuery2.recNo();
    ADOQuery2.setRecNo(row + 1);
    ADOQuery2.edit();
    ADOQuery2.setField(QStringLiteral("check"), FavoriteDoneText);
    ADOQuery2.post();
    if (current != row + 1)
        ADOQuery2.setRecNo(current);
}

void Tfrmkova::unmarkResultFavorite(const QString& cph)
{
    if (cph.isEmpty())
        return;
    // Rows filtered out of the list meanwhile are changed in the table.
    ADOConnection1.execute(QStringLiteral("update cxnr set \"check\"=? where cph=? and \"check\"=?"),
                           {FavoriteInviteText, cph, FavoriteDoneText});
    if (!ADOQuery2.isActive())
        return;
    const QStringList names = ADOQuery2.fieldNames();
    const int cphColumn = indexOfField(names, QStringLiteral("cph"));
    const int checkColumn = indexOfField(names, QStringLiteral("check"));
    if (cphColumn < 0 || checkColumn < 0)
        return;
    const int current = ADOQuery2.recNo();
    for (int row = 0; row < ADOQuery2.recordCount(); ++row) {
        if (ADOQuery2.fieldAt(row, cphColumn).toString() != cph ||
            ADOQuery2.fieldAt(row, checkColumn).toString() != FavoriteDoneText)
            continue;
        ADOQuery2.setRecNo(row + 1);
        ADOQuery2.edit();
        ADOQuery2.setField(QStringLiteral("check"), FavoriteInviteText);
        ADOQuery2.post();
    }
    if (current > 0 && current != ADOQuery2.recNo())
        ADOQuery2.setRecNo(current);
}

void Tfrmkova::DBGridEh1MouseMove(QPoint pos)
{
    ResultGridMouseY = pos.y();
    const GridCoord at = ui.DBGridEh1->MouseCoord(pos);
    if (!ResultGridPointerActs(at))
        return;
    const QString field = ui.DBGridEh1->column(at.col).field;
    SetScreenCursor(ResultGridCursor(field, ADOQuery2.fieldText(QStringLiteral("check"))));
    if (ResultGridHidesPreview(field))
        HidePreview();
}

} // namespace kova
