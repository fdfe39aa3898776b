// The favorites grid's cell drawing without a window: a recording canvas over real scnr
// rows, small pictures as real files in the picture cache.
#include "favorites/FavoritesGridPainter.h"
#include "store/Money.h"

#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/PictureCache.h"
#include "tests/support/TestSupport.h"
#include "ui/GridCanvas.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <limits>
#include <optional>
#include <utility>

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

TEST(Money, PriceTextsInFen)
{
    const std::pair<const char*, qint64> prices[] = {
        {"58.50", 5850},     {" 7 ", 700},        {".5", 50},       {"5.", 500},
        {"-3", -300},        {"+0.1", 10},        {"0", 0},         {"-0", 0},
        {"4483.66", 448366}, {"\t99.99\n", 9999}, {"　12　", 1200}, {"007.10", 710},
        {"58.500", 5850},    {"1.2000000", 120},  {"-.05", -5},     {"0.01", 1},
    };
    for (const auto& [text, fen] : prices)
        EXPECT_EQ(PriceInFen(QString::fromUtf8(text)), fen) << text;

    for (const char* bad :
         {"",  " ", "abc", "1,299.00", "12.3.4", "1e5",  "inf",   "nan",   "0x10",  "￥5", "5元",  ".",
          "+", "-", "+-1", "--1",      "1 2",    "１２", "1.234", "0.001", "1.005", "5-",  "1.2.", "½"})
        EXPECT_FALSE(PriceInFen(QString::fromUtf8(bad))) << bad;
}

TEST(Money, LargePricesStayExactOrAreRefused)
{
    EXPECT_EQ(PriceInFen(QStringLiteral("9999999999999999.99")), PriceFenLimit - 1);
    EXPECT_EQ(PriceInFen(QStringLiteral("-9999999999999999.99")), -(PriceFenLimit - 1));
    EXPECT_EQ(PriceInFen(QStringLiteral("90071992547409.93")), Q_INT64_C(9007199254740993)); // beyond 2^53
    EXPECT_EQ(PriceInFen(QStringLiteral("000000000000000000000001.5")), 150); // leading zeros are free
    for (const char* tooLarge : {"10000000000000000", "10000000000000000.00", "99999999999999999999999",
                                 "92233720368547758.07", "-10000000000000000"})
        EXPECT_FALSE(PriceInFen(QString::fromUtf8(tooLarge))) << tooLarge;
}

TEST(Money, YuanTextIsTheShortestDecimalForm)
{
    const std::pair<qint64, const char*> amounts[] = {
        {44344, "443.44"},
        {2000, "20"},
        {1050, "10.5"},
        {1010, "10.1"},
        {1, "0.01"},
        {10, "0.1"},
        {0, "0"},
        {-150, "-1.5"},
        {-1, "-0.01"},
        {PriceFenLimit - 1, "9999999999999999.99"},
        {std::numeric_limits<qint64>::max(), "92233720368547758.07"},
        {std::numeric_limits<qint64>::min(), "-92233720368547758.08"},
    };
    for (const auto& [fen, text] : amounts)
        EXPECT_EQ(YuanText(fen), QString::fromUtf8(text)) << fen;

    // Read back, every amount is the one written.
    for (qint64 fen : {Q_INT64_C(0), Q_INT64_C(1), Q_INT64_C(-99), Q_INT64_C(123456), PriceFenLimit - 1})
        EXPECT_EQ(PriceInFen(YuanText(fen)), fen) << fen;
}

TEST(PriceTexts, ChangeAmountIsTheSizeInYuan)
{
    EXPECT_EQ(ChangeAmountText(2000), QStringLiteral("20"));
    EXPECT_EQ(ChangeAmountText(-2000), QStringLiteral("20"));
    EXPECT_EQ(ChangeAmountText(-44344), QStringLiteral("443.44"));
    EXPECT_EQ(ChangeAmountText(std::numeric_limits<qint64>::min()), QStringLiteral("92233720368547758.08"));
}

TEST(PriceTexts, ChangesCountedExactly)
{
    // Pairs whose difference binary fractions cannot hold.
    const PriceCase cases[] = {
        {"4927.1", "4483.66", "￥4483.66，降价￥443.44", Green},
        {"4483.66", "4927.1", "￥4927.1，涨价￥443.44", Red},
        {"0.1", "0.3", "￥0.3，涨价￥0.2", Red},
        {"0.3", "0.1", "￥0.1，降价￥0.2", Green},
        {"100", "99.99", "￥99.99，降价￥0.01", Green},
        {"1000", "1299.99", "￥1299.99，涨价￥299.99", Red},
        {"0.01", "9999999999.99", "￥9999999999.99，涨价￥9999999999.98", Red},
        {"9999999999.99", "0.01", "￥0.01，降价￥9999999999.98", Green},
        {"58.50", "58.5", nullptr, {}}, // equal values in other texts
        {"4483.660", "4483.66", nullptr, {}},
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
}

TEST(PriceTexts, WholeCurrentPriceGetsDotZeroZeroOnBothAmounts)
{
    // ".00" follows whenever the current price's text has no decimal point, also after a
    // change that has its own decimals: the rule reads the price text, not the change.
    EXPECT_EQ(CurrentPriceText(QStringLiteral("120"), QStringLiteral("100"))->text,
              QStringLiteral("￥120.00，涨价￥20.00"));
    EXPECT_EQ(CurrentPriceText(QStringLiteral("89"), QStringLiteral("100.00"))->text,
              QStringLiteral("￥89.00，降价￥11.00"));
    EXPECT_EQ(CurrentPriceText(QStringLiteral("100"), QStringLiteral("99.99"))->text,
              QStringLiteral("￥100.00，涨价￥0.01.00"));
    EXPECT_EQ(CurrentPriceText(QStringLiteral("89.00"), QStringLiteral("100"))->text,
              QStringLiteral("￥89.00，降价￥11"));
    EXPECT_EQ(SavedPriceText(QStringLiteral("4927.1")), QStringLiteral("￥4927.1"));
    EXPECT_EQ(SavedPriceText(QStringLiteral("4927")), QStringLiteral("￥4927.00"));
}

TEST(PriceTexts, NoChangeTextWithoutTwoPrices)
{
    // Not a price, a fraction of a fen, or nothing saved to compare with: the cell keeps
    // its stored text.
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("暂无"), QStringLiteral("100")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("89"), QString()));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("89"), QStringLiteral("n/a")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("89.999"), QStringLiteral("100")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("89"), QStringLiteral("100.001")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("1,299.00"), QStringLiteral("1000")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("10000000000000000"), QStringLiteral("1")));
}

// Texts a hostile or broken list page gives as prices: none is drawn with "￥" and no change
// is computed from one.
TEST(PriceTexts, PriceTextsThatAreNoNumbersReadPriceUnknownAndGetNoChange)
{
    for (const char* junk : {"NaN", "1e308", "-5", "abc", "12345678901.00", "0", "0.00", "inf", "1,299.00",
                             "+3", " 100", "100."}) {
        const QString text = QString::fromUtf8(junk);
        EXPECT_FALSE(IsShownPrice(text)) << junk;
        EXPECT_EQ(SavedPriceText(text), QStringLiteral("价格未知")) << junk;
        EXPECT_FALSE(CurrentPriceText(text, QStringLiteral("100"))) << junk;
        EXPECT_FALSE(CurrentPriceText(QStringLiteral("89"), text)) << junk;
    }
    EXPECT_FALSE(IsShownPrice(QString()));
    for (const char* price : {"58.5", "1299.00", "9999999999.99", "58", "0.01"})
        EXPECT_TRUE(IsShownPrice(QString::fromUtf8(price))) << price;
    EXPECT_EQ(SavedPriceText(QStringLiteral("9999999999.99")), QStringLiteral("￥9999999999.99"));
    // "-5" reads as -500 fen and "0" as 0: once a change of ￥105 and ￥100 was drawn.
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("100"), QStringLiteral("-5")));
    EXPECT_FALSE(CurrentPriceText(QStringLiteral("100"), QStringLiteral("0")));
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

TEST_F(FavoriteCell, JunkPricesAreDrawnAsPriceUnknownWithoutAChange)
{
    rows(QStringLiteral("('1', 'p1', '100', 'NaN', 'a'), ('2', 'p2', '-5', '89', 'b'), ('3', 'p3', 'abc', "
                        "'1e308', 'c')"));
    const auto current = composed(draw(0, "gxjg"));
    ASSERT_TRUE(current);
    EXPECT_EQ(current->text, QStringLiteral("价格未知"));
    EXPECT_EQ(current->color, Black); // neither a rise nor a drop
    const auto selected = composed(draw(2, "gxjg", {true, false, false}));
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->text, QStringLiteral("价格未知"));
    EXPECT_EQ(selected->color, Red);
    EXPECT_EQ(composed(draw(1, "scjg"))->text, QStringLiteral("价格未知"));
    EXPECT_EQ(composed(draw(2, "scjg"))->text, QStringLiteral("价格未知"));
    // A good current price beside a junk saved one: its stored text, no "，降价￥…".
    const auto beside = draw(1, "gxjg");
    EXPECT_FALSE(composed(beside));
    EXPECT_EQ(beside.back().text, QStringLiteral("89"));
}

TEST_F(FavoriteCell, ChangeDrawnExactlyAndWhole)
{
    // The text the grid writes is the whole exact change: nothing for the cell to cut
    // but what its width cuts.
    rows(QStringLiteral("('1', 'p1', '4927.1', '4483.66', 'a'), ('2', 'p2', '0.1', '0.3', 'b'), "
                        "('3', 'p3', '100', '99.99', 'c')"));
    const std::pair<int, const char*> drawn[] = {
        {0, "￥4483.66，降价￥443.44"},
        {1, "￥0.3，涨价￥0.2"},
        {2, "￥99.99，降价￥0.01"},
    };
    for (const auto& [row, shown] : drawn) {
        const auto text = composed(draw(row, "gxjg"));
        ASSERT_TRUE(text) << row;
        EXPECT_EQ(text->text, QString::fromUtf8(shown)) << row;
    }
    EXPECT_EQ(composed(draw(0, "scjg"))->text, QStringLiteral("￥4927.1"));
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
    // Current price with no saved price: its stored text; a price that is no number.
    const auto noSaved = draw(2, "gxjg");
    EXPECT_FALSE(composed(noSaved));
    EXPECT_EQ(noSaved.back().text, QStringLiteral("89"));
    EXPECT_EQ(composed(draw(3, "gxjg"))->text, QStringLiteral("价格未知"));
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
