// What the favorites grid's cells do, by field.
#include "favorites/FavoritesGridActions.h"

#include <gtest/gtest.h>

using namespace kova;

TEST(FavoritesGridActions, EachActionColumnActsWhateverTheCaseOfItsField)
{
    EXPECT_EQ(FavoriteCellActionFor(QStringLiteral("CPMC")), FavoriteCellAction::OpenProduct);
    EXPECT_EQ(FavoriteCellActionFor(QStringLiteral("jjcj")), FavoriteCellAction::OpenComparison);
    EXPECT_EQ(FavoriteCellActionFor(QStringLiteral("Bz2")), FavoriteCellAction::DeleteFavorite);
    EXPECT_EQ(FavoriteCellActionFor(QStringLiteral("bz1")), FavoriteCellAction::PreviewPicture);
    for (const char* field : {"scjg", "gxjg", "sjlx", "cpmc2", ""})
        EXPECT_EQ(FavoriteCellActionFor(QString::fromLatin1(field)), FavoriteCellAction::None) << field;
}

TEST(FavoritesGridActions, LinksTakeTheHandAndOnlyThePictureKeepsThePreview)
{
    for (const char* field : {"cpmc", "jjcj", "bz2"}) {
        EXPECT_TRUE(FavoriteColumnIsLink(QString::fromLatin1(field))) << field;
        EXPECT_EQ(FavoriteGridCursor(QString::fromLatin1(field)), ScreenCursor::Hand) << field;
    }
    EXPECT_FALSE(FavoriteColumnIsLink(QStringLiteral("bz1")));
    EXPECT_EQ(FavoriteGridCursor(QStringLiteral("bz1")), ScreenCursor::Default);
    EXPECT_EQ(FavoriteGridCursor(QStringLiteral("scjg")), ScreenCursor::Default);
    EXPECT_FALSE(FavoriteGridHidesPreview(QStringLiteral("BZ1")));
    EXPECT_TRUE(FavoriteGridHidesPreview(QStringLiteral("cpmc")));

    EXPECT_FALSE(FavoriteGridPointerActs({0, 3})); // first column
    EXPECT_FALSE(FavoriteGridPointerActs({2, 0})); // title row
    EXPECT_FALSE(FavoriteGridPointerActs({-1, -1}));
    EXPECT_TRUE(FavoriteGridPointerActs({2, 1}));
}
