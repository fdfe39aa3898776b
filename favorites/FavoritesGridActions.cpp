#include "favorites/FavoritesGridActions.h"

namespace kova {

FavoriteCellAction FavoriteCellActionFor(const QString& field)
{
    if (isField(field, QLatin1String("cpmc")))
        return FavoriteCellAction::OpenProduct;
    if (isField(field, QLatin1String("jjcj")))
        return FavoriteCellAction::OpenComparison;
    if (isField(field, QLatin1String("bz2")))
        return FavoriteCellAction::DeleteFavorite;
    if (isField(field, QLatin1String("bz1")))
        return FavoriteCellAction::PreviewPicture;
    return FavoriteCellAction::None;
}

bool FavoriteColumnIsLink(const QString& field)
{
    const FavoriteCellAction action = FavoriteCellActionFor(field);
    return action != FavoriteCellAction::None && action != FavoriteCellAction::PreviewPicture;
}

bool FavoriteGridPointerActs(GridCoord at)
{
    return at.col > 0 && at.row > 0;
}

ScreenCursor FavoriteGridCursor(const QString& field)
{
    return FavoriteColumnIsLink(field) ? ScreenCursor::Hand : ScreenCursor::Default;
}

bool FavoriteGridHidesPreview(const QString& field)
{
    return FavoriteCellActionFor(field) != FavoriteCellAction::PreviewPicture;
}

} // namespace kova
