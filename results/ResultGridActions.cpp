#include "results/ResultGridActions.h"

#include "results/ResultCellPainter.h"

namespace kova {
ResultCellAction ResultCellActionFor(const QString& field)
{
    if (isField(field, QLatin1String("cpmc")))
        return ResultCellAction::OpenProduct;
    if (isField(field, QLatin1String("bz2")))
        return ResultCellAction::OpenComparison;
    if (isField(field, QLatin1String("check")))
        return ResultCellAction::AddFavorite;
    if (isField(field, QLatin1String("bz1")))
        return ResultCellAction::PreviewPicture;
    return ResultCellAction::None;
}

bool ResultGridPointerActs(GridCoord at)
{
    return at.col > 0 && at.row > 0;
}

ScreenCursor ResultGridCursor(const QString& field, const QString& currentCheck)
{
    if (isField(field, QLatin1String("cpmc")) || isField(field, QLatin1String("bz2")))
        return ScreenCursor::Hand;
    if (isField(field, QLatin1String("check")))
        return currentCheck == FavoriteInviteText ? ScreenCursor::Hand : ScreenCursor::Default;
    return ScreenCursor::Default;
}

bool ResultGridHidesPreview(const QString& field)
{
    return !isField(field, QLatin1String("bz1"));
}

} // namespace kova
