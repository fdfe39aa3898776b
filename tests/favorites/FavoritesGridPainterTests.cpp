// The favorites grid's cell drawing without a window: a recording canvas over real scnr
// rows, small pictures as real files in the picture cache.
#include "favorites/FavoritesGridPainter.h"

#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/PictureCache.h"
#include "tests/support/TestSupport.h"
#include "ui/GridCanvas.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <optional>

#include <gtest/gtest.h>

using namespace kova;
using Op = RecordingGridCanvas::Op;

namespace {

const QColor Red(255, 0, 0);
const QColor Green(0, 128, 0);
const QColor Black(0, 0, 0);

struct PriceCase {
    const char* saved;
    const char* current;
    const char* shown; // nullptr: no composed text
    QColor color;
};

TEST(PriceTexts, TheChangeTable)
{
    const PriceCase cases[] = {
        {"100", "120", "￥120.00，涨价￥20.00", Red},
        {"99.50", "89.00", "￥89.00，降价￥10.5", Green},
        {"100.00", "89.00", "￥89.00，降价￥11", Green},
        {"100", "89.9", "￥89.9，降价￥10.1", Green},
        {"100", "100.00", nullptr, {}},
    };
    for (const PriceCase& c : cases) {
        const auto text = CurrentPriceText(QString::fromUtf8(c.current), QString::fromUtf8(c.saved));
        if (c.shown == nullptr) {
            EXPECT_FALSE(text) << c.saved << " " << c.current;
            continue;
        }
        ASSERT_TRUE(text) << c.saved << " " << c.current;
        EXPECT_EQ(text->text, QString::fromUtf8(c.shown));
        EXPECT_EQ(text->color, c.color);
    }
    EXPECT_EQ(SavedPriceText(QStringLiteral("100")), QStringLiteral("￥100.00"));
    EXPECT_EQ(SavedPriceText(QStringLiteral("58.5")), QStringLiteral("￥58.5"));
}

TEST(PriceTexts, ShortestFormWithFifteenDigits)
{
    EXPECT_EQ(ChangeAmountText(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(ChangeAmountText(-20.0), QStringLiteral("20"));
    EXPECT_EQ(ChangeAmountText(1.0 / 3.0), QStringLiteral("0.333333333333333"));
    EXPECT_EQ(ChangeAmountText(1299.99 - 1000), QStringLiteral("299.99"));
    EXPECT_EQ(ChangeAmountText(123456789.125), QStringLiteral("123456789.125"));
}

TEST(PriceTexts, NumbersOnlyFromDecimalText)
{
    EXPECT_EQ(DecimalValue(QStringLiteral("58.50")), 58.5);
    EXPECT_EQ(DecimalValue(QStringLiteral(" 7 ")), 7.0);
    EXPECT_EQ(DecimalValue(QStringLiteral(".5")), 0.5);
    for (const char* bad : {"", " ", "abc", "1,299.00", "12.3.4", "1e5", "inf", "nan", "0x10", "￥5", "5元"})
        EXPECT_FALSE(DecimalValue(QString::fromUtf8(bad))) << bad;
    // Not a number, or nothing saved to compare with: the cell keeps its stored text.
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("暂无"), QStringLiteral("100")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("89"), QString()));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("89"), QStringLiteral("n/a")));
}

TEST(PreviewPlacement, StaysInsideTheWindow)
{
    EXPECT_EQ(FavoritePreviewTop(700, 450), 330);
    EXPECT_EQ(FavoritePreviewTop(700, 200), 170);
    EXPECT_EQ(FavoritePreviewTop(700, 400), 370); // 700 is not less than 700
    EXPECT_EQ(FavoritePreviewTop(700, 401), 330);
}

class FavoriteCell : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.open();
        cache.ensureFolder();
    }
    void rows(const QString& values)
    {
        db.exec(QStringLiteral("insert into scnr (scsj, cph, scjg, gxjg, cpmc) values ") + values);
        scnr.setSql(QStringLiteral("select * from scnr order by scsj"));
        scnr.open();
    }
    // Draws a cell the way the grid does: the default drawing writes the field text.
    std::vector<Op> draw(int row, const char* field, GridDrawState state = {})
    {
        GridColumn column;
        column.field = QString::fromLatin1(field);
        canvas.clearOps();
        canvas.setRecord(&scnr, row);
        canvas.setFontColor(Black);
        canvas.setBrushColor(Qt::white);
        DrawFavoriteCell(canvas, cell, column, state, cache, [&] {
            canvas.fillRect(cell);
            canvas.drawText(cell, Qt::AlignCenter, canvas.fieldText(column.field));
        });
        return canvas.ops();
    }
    // The composed text of a drawing, copied out so the drawing may be a temporary.
    static std::optional<Op> composed(const std::vector<Op>& ops)
    {
        for (const Op& op : ops)
            if (op.kind == Op::Kind::TextRect)
                return op;
        return std::nullopt;
    }
    void writePicture(const QString& cph, const QByteArray& bytes)
    {
        QFile file(cache.thumbnailPath(cph));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray jpeg()
    {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(QColor(10, 200, 10));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, "JPG", 90));
        return bytes;
    }

    test::TempDatabase db;
    Connection connection{db.path()};
    Dataset scnr{connection};
    PictureCache cache{db.tempDir()};
    RecordingGridCanvas canvas;
    const QRect cell{77, 22, 80, 77};
};

TEST_F(FavoriteCell, LightBlueBackgroundAndPricesAtTheirPlace)
{
    rows(QStringLiteral("('1', 'p1', '100', '120', 'a'), ('2', 'p2', '100', '89.9', 'b'), ('3', 'p3', '100', "
                        "'100.00', 'c')"));
    const auto rise = draw(0, "gxjg");
    ASSERT_FALSE(rise.empty());
    EXPECT_EQ(rise.front().kind, Op::Kind::Fill);
    EXPECT_EQ(rise.front().background, FavoriteCellBackground);
    const auto text = composed(rise);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, QStringLiteral("￥120.00，涨价￥20.00"));
    EXPECT_EQ(text->color, Red);
    EXPECT_EQ(text->rect, cell); // clipped to the cell, filled first
    EXPECT_EQ(text->background, FavoriteCellBackground);
    EXPECT_EQ(text->pos, QPoint(cell.left() + 10, cell.top() + 32));

    const auto saved = composed(draw(1, "scjg"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->text, QStringLiteral("￥100.00"));
    EXPECT_EQ(saved->color, Black);
    const auto drop = composed(draw(1, "gxjg"));
    ASSERT_TRUE(drop);
    EXPECT_EQ(drop->text, QStringLiteral("￥89.9，降价￥10.1"));
    EXPECT_EQ(drop->color, Green);

    // No change: the stored text as the grid writes it, without "￥".
    const auto same = draw(2, "gxjg");
    EXPECT_FALSE(composed(same));
    EXPECT_EQ(same.back().text, QStringLiteral("100.00"));
}

TEST_F(FavoriteCell, SelectedCellIsRedOnLightBlueAndKeepsItsChangeColour)
{
    rows(QStringLiteral("('1', 'p1', '100', '120', 'a'), ('2', 'p2', '100', '89', 'b')"));
    for (GridDrawState state : {GridDrawState{true, false, false}, GridDrawState{true, true, false}}) {
        const auto ops = draw(0, "cpmc", state);
        ASSERT_EQ(ops.size(), 4u); // drawn twice
        EXPECT_EQ(ops[2].background, FavoriteCellBackground);
        EXPECT_EQ(ops[3].color, Red);
        const auto saved = composed(draw(0, "scjg", state));
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->color, Red);
        const auto drop = composed(draw(1, "gxjg", state));
        ASSERT_TRUE(drop);
        EXPECT_EQ(drop->color, Green);
    }
    EXPECT_EQ(draw(0, "cpmc").size(), 2u);
}

TEST_F(FavoriteCell, RowsWithoutProductNumberOrPricesKeepTheirTexts)
{
    rows(QStringLiteral(
        "('1', '', '100', '120', 'a'), ('2', 'p2', '100', '', 'b'), ('3', 'p3', '', '89', 'c'), "
        "('4', 'p4', '100', '暂无', 'd')"));
    writePicture(QStringLiteral("p4"), jpeg());
    EXPECT_FALSE(composed(draw(0, "scjg")));
    EXPECT_FALSE(composed(draw(0, "gxjg")));
    // Empty current price: nothing composed there, the saved price still gets "￥".
    EXPECT_FALSE(composed(draw(1, "gxjg")));
    ASSERT_TRUE(composed(draw(1, "scjg")));
    // Current price with no saved price, and a price that is no number.
    const auto noSaved = draw(2, "gxjg");
    EXPECT_FALSE(composed(noSaved));
    EXPECT_EQ(noSaved.back().text, QStringLiteral("89"));
    EXPECT_FALSE(composed(draw(3, "gxjg")));
    EXPECT_EQ(composed(draw(3, "scjg"))->text, QStringLiteral("￥100.00"));
}

TEST_F(FavoriteCell, PictureStretchedOverTheCellWhenItsFileDecodes)
{
    rows(
        QStringLiteral("('1', 'p1', '1', '1', 'a'), ('2', 'p2', '1', '1', 'b'), ('3', 'p3', '1', '1', 'c')"));
    writePicture(QStringLiteral("p1"), jpeg());
    writePicture(QStringLiteral("p2"), QByteArray("<html>error page saved as a picture</html>"));

    const auto ok = draw(0, "bz1");
    ASSERT_EQ(ok.back().kind, Op::Kind::Picture);
    EXPECT_EQ(ok.back().rect, cell);
    EXPECT_FALSE(ok.back().pictureSize.isEmpty());

    // Undecodable or missing: the field text stays and nothing else is drawn.
    for (int row : {1, 2}) {
        const auto ops = draw(row, "bz1");
        for (const Op& op : ops)
            EXPECT_NE(op.kind, Op::Kind::Picture) << row;
    }
    // Other cells of a row with a picture draw no picture.
    for (const Op& op : draw(0, "cpmc"))
        EXPECT_NE(op.kind, Op::Kind::Picture);
}

TEST_F(FavoriteCell, EmptyTableDrawsOnlyTheDefault)
{
    rows(QStringLiteral("('1', 'p1', '100', '120', 'a')"));
    db.exec(QStringLiteral("delete from scnr"));
    scnr.open();
    const auto ops = draw(0, "gxjg");
    EXPECT_EQ(ops.size(), 2u);
    EXPECT_FALSE(composed(ops));
}

} // namespace
