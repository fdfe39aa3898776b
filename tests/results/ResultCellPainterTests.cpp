// The result grid's cell drawing without a window: a recording canvas over real rows of
// cxnr and tpb in a temporary kvdb.dat, thumbnails as real files in the picture cache.
#include "results/ResultCellPainter.h"

#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/PictureCache.h"
#include "tests/support/TestSupport.h"
#include "ui/GridCanvas.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <utility>

#include <gtest/gtest.h>

using namespace kova;
using Op = RecordingGridCanvas::Op;

namespace {

const QColor OddRow(241, 254, 250);
const QColor EvenRow(241, 243, 254);
const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const GridDrawState Plain{};
const GridDrawState Selected{true, false, false};
const GridDrawState SelectedFocused{true, true, false};

QByteArray jpegBytes(int side, const QColor& colour)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPG", 90));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class CellPainter : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.open();
        cache.ensureFolder();
    }

    // Rows in cxnr (bh gives the order) and opens both cursors.
    void rows(const QString& values)
    {
        db.exec(QStringLiteral("insert into cxnr (bh, cph, bz1, rc, jg, sjlx, \"check\") values ") + values);
        cxnr.setSql(QStringLiteral("select * from cxnr order by bh"));
        cxnr.open();
        tpb.setSql(QStringLiteral("select * from tpb"));
        tpb.open();
    }

    // Paints one cell the way the grid does: canvas prepared with the grid's own brush
    // and font colour, the standard drawing filling the cell and writing its field text.
    const std::vector<Op>& paint(int row, const QString& field, GridDrawState state = Plain)
    {
        canvas.clearOps();
        canvas.setRecord(&cxnr, row);
        canvas.setBrushColor(state.selected ? QColor(48, 140, 198) : QColor(255, 255, 255));
        canvas.setFontColor(state.selected ? QColor(255, 255, 255) : Black);
        painter.paint(canvas, cell, field, state, [&] {
            canvas.fillRect(cell);
            const QString text = canvas.fieldText(field);
            if (!text.isEmpty())
                canvas.drawText(cell.adjusted(2, 2, -2, -2), Qt::AlignCenter, text);
        });
        return canvas.ops();
    }

    std::vector<Op> ofKind(Op::Kind kind) const
    {
        std::vector<Op> found;
        for (const Op& op : canvas.ops())
            if (op.kind == kind)
                found.push_back(op);
        return found;
    }

    // The one composed text of the cell, checked for its place, clip and background.
    Op composed(int row, const QString& field, GridDrawState state = Plain, int left = 10)
    {
        paint(row, field, state);
        const auto texts = ofKind(Op::Kind::TextRect);
        EXPECT_EQ(texts.size(), 1u) << field.toStdString();
        if (texts.empty())
            return {};
        const Op& op = texts.front();
        EXPECT_EQ(op.rect, cell);
        EXPECT_EQ(op.pos, QPoint(cell.left() + left, cell.top() + 32));
        EXPECT_EQ(op.background, row % 2 == 0 ? OddRow : EvenRow);
        return op;
    }

    test::TempDatabase db;
    Connection connection{db.path()};
    Dataset cxnr{connection};
    Dataset tpb{connection};
    PictureCache cache{db.tempDir()};
    ResultCellPainter painter{cache, [this](const QString& cph) { return FindPictureRecord(tpb, cph); }};
    RecordingGridCanvas canvas;
    const QRect cell{300, 92, 80, 70};
};

TEST(ResultTexts, PriceAndPopularityAreBuiltFromTheStoredText)
{
    EXPECT_EQ(ResultPriceText(QStringLiteral("58")), QStringLiteral("￥58.00"));
    EXPECT_EQ(ResultPriceText(QStringLiteral("58.5")), QStringLiteral("￥58.5"));
    EXPECT_EQ(ResultPriceText(QStringLiteral("1299.00")), QStringLiteral("￥1299.00"));
    EXPECT_EQ(ResultPriceText(QString()), QString());
    EXPECT_EQ(ResultPopularityText(QStringLiteral("1234"), QStringLiteral("淘宝网")),
              QStringLiteral("销量1234笔"));
    EXPECT_EQ(ResultPopularityText(QStringLiteral("1234"), QStringLiteral("天猫商城")),
              QStringLiteral("销量1234笔"));
    for (const char* merchant : {"京东商城", "亚马逊", "当当网", "苏宁易购", "1号店"})
        EXPECT_EQ(ResultPopularityText(QStringLiteral("1234"), QString::fromUtf8(merchant)),
                  QStringLiteral("评论1234条"));
    // Merchants compare whole and case-sensitively.
    EXPECT_EQ(ResultPopularityText(QStringLiteral("1234"), QStringLiteral("国美在线")), QString());
    EXPECT_EQ(ResultPopularityText(QStringLiteral("1234"), QStringLiteral("淘宝网 ")), QString());
    EXPECT_EQ(ResultPopularityText(QString(), QStringLiteral("淘宝网")), QString());
}

// Price texts from a hostile or broken page: nothing but a positive decimal number of at
// most ten digits before the point is drawn with "￥".
const char* const JunkPrices[] = {
    "NaN", "1e308", "-5",  "abc", "12345678901.00", "0",      "0.00", "inf", "1,299.00",
    "+3",  " 58",   "58.", ".5",  "５８",           "58.5.0", "0x10"};

TEST(ResultTexts, PriceTextsThatAreNoNumbersReadPriceUnknown)
{
    for (const char* junk : JunkPrices)
        EXPECT_EQ(ResultPriceText(QString::fromUtf8(junk)), QStringLiteral("价格未知")) << junk;
    const std::pair<const char*, const char*> shown[] = {
        {"58.5", "￥58.5"}, {"1299.00", "￥1299.00"}, {"9999999999.99", "￥9999999999.99"},
        {"58", "￥58.00"},  {"0.01", "￥0.01"},       {"0058", "￥0058.00"}};
    for (const auto& [jg, text] : shown)
        EXPECT_EQ(ResultPriceText(QString::fromUtf8(jg)), QString::fromUtf8(text)) << jg;
    // An empty price keeps the grid's own (empty) text, as before.
    EXPECT_EQ(ResultPriceText(QString()), QString());
}

TEST_F(CellPainter, JunkPriceIsDrawnAsPriceUnknownInTheCellsColour)
{
    rows(QStringLiteral("(1, 'p1', '加载中…', '5', 'NaN', '淘宝网', '点击收藏'),"
                        "(2, 'p2', '加载中…', '5', '-5', '淘宝网', '点击收藏')"));
    EXPECT_EQ(composed(0, QStringLiteral("jg")).text, QStringLiteral("价格未知"));
    const Op current = composed(1, QStringLiteral("jg"), Selected);
    EXPECT_EQ(current.text, QStringLiteral("价格未知"));
    EXPECT_EQ(current.color, Red);
}

TEST_F(CellPainter, RowsAlternateTheirBackgroundByRecordNumber)
{
    rows(QStringLiteral(
        "(1,'a1','加载中…','5','9','淘宝网','点击收藏'),(2,'a2','加载中…','5','9','淘宝网','点击收藏'),"
        "(3,'a3','加载中…','5','9','淘宝网','点击收藏'),(4,'','x','5','9','淘宝网','点击收藏')"));
    const QColor expected[] = {OddRow, EvenRow, OddRow, EvenRow};
    for (int row = 0; row < 4; ++row) {
        for (const char* field : {"bz1", "cpmc", "jg", "check"}) {
            paint(row, QString::fromLatin1(field));
            const auto fills = ofKind(Op::Kind::Fill);
            ASSERT_FALSE(fills.empty());
            for (const Op& fill : fills)
                EXPECT_EQ(fill.background, expected[row]) << row << field;
        }
    }
}

TEST_F(CellPainter, ComposedTextsReplaceTheFieldText)
{
    rows(QStringLiteral("(1,'a1','加载中…','1234','58','淘宝网','点击收藏'),"
                        "(2,'a2','加载中…','1234','58.5','天猫商城','已收藏'),"
                        "(3,'a3','加载中…','1234','1299.00','京东商城','点击收藏'),"
                        "(4,'a4','加载中…','1234','7','国美在线','已收藏')"));
    EXPECT_EQ(composed(0, QStringLiteral("jg")).text, QStringLiteral("￥58.00"));
    EXPECT_EQ(composed(1, QStringLiteral("JG")).text, QStringLiteral("￥58.5"));
    EXPECT_EQ(composed(2, QStringLiteral("jg")).text, QStringLiteral("￥1299.00"));
    EXPECT_EQ(composed(0, QStringLiteral("rc")).text, QStringLiteral("销量1234笔"));
    EXPECT_EQ(composed(1, QStringLiteral("rc")).text, QStringLiteral("销量1234笔"));
    const Op review = composed(2, QStringLiteral("rc"));
    EXPECT_EQ(review.text, QStringLiteral("评论1234条"));
    EXPECT_EQ(review.color, Black);

    // Outside the seven merchants the plain count of the standard drawing stays.
    paint(3, QStringLiteral("rc"));
    EXPECT_TRUE(ofKind(Op::Kind::TextRect).empty());
    ASSERT_NE(canvas.lastText(), nullptr);
    EXPECT_EQ(canvas.lastText()->text, QStringLiteral("1234"));

    const Op invite = composed(0, QStringLiteral("check"), Plain, 5);
    EXPECT_EQ(invite.text, QStringLiteral("点击收藏"));
    EXPECT_EQ(invite.color, Blue);
    const Op done = composed(1, QStringLiteral("check"), Plain, 5);
    EXPECT_EQ(done.text, QStringLiteral("已收藏"));
    EXPECT_EQ(done.color, Black);

    // Other columns keep the standard drawing only.
    paint(0, QStringLiteral("sjlx"));
    EXPECT_TRUE(ofKind(Op::Kind::TextRect).empty());
    EXPECT_EQ(canvas.lastText()->text, QStringLiteral("淘宝网"));
}

TEST_F(CellPainter, CurrentCellIsRedOnItsRowBackgroundButTheInvitationStaysBlue)
{
    rows(QStringLiteral("(1,'a1','加载中…','1234','58','淘宝网','点击收藏'),"
                        "(2,'a2','加载中…','88','58.5','京东商城','已收藏')"));
    for (GridDrawState state : {Selected, SelectedFocused}) {
        paint(1, QStringLiteral("sjlx"), state);
        const auto texts = ofKind(Op::Kind::Text);
        ASSERT_EQ(texts.size(), 2u); // standard drawing, then again in red
        EXPECT_EQ(texts.back().color, Red);
        EXPECT_EQ(texts.back().text, QStringLiteral("京东商城"));
        for (const Op& fill : ofKind(Op::Kind::Fill))
            EXPECT_EQ(fill.background, EvenRow);

        EXPECT_EQ(composed(1, QStringLiteral("jg"), state).color, Red);
        EXPECT_EQ(composed(1, QStringLiteral("rc"), state).color, Red);
        EXPECT_EQ(composed(1, QStringLiteral("check"), state, 5).color, Red);
        const Op invite = composed(0, QStringLiteral("check"), state, 5);
        EXPECT_EQ(invite.color, Blue);
        EXPECT_EQ(invite.background, OddRow);
    }
}

TEST_F(CellPainter, RowWithoutProductNumberShowsPlainFieldTextsOnly)
{
    rows(QStringLiteral(
        "(1,'','加载中…','1234','58','淘宝网','点击收藏'),(2,NULL,'加载中…','5','6','京东商城','已收藏')"));
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('k', '', '1')"));
    tpb.open();
    for (int row = 0; row < 2; ++row) {
        for (const char* field : {"bz1", "rc", "jg", "check"}) {
            for (GridDrawState state : {Plain, Selected}) {
                paint(row, QString::fromLatin1(field), state);
                EXPECT_TRUE(ofKind(Op::Kind::TextRect).empty()) << field;
                EXPECT_TRUE(ofKind(Op::Kind::Picture).empty()) << field;
                ASSERT_NE(canvas.lastText(), nullptr);
                EXPECT_FALSE(canvas.lastText()->text.contains(QStringLiteral("￥")));
                EXPECT_NE(canvas.lastText()->color, Blue);
            }
        }
    }
}

TEST_F(CellPainter, EmptyOrUnknownValuesKeepTheGridsText)
{
    rows(QStringLiteral(
        "(1,'a1','加载中…',NULL,'','淘宝网',NULL),(2,'a2','加载中…','','9','淘宝网','收藏了')"));
    for (int row = 0; row < 2; ++row) {
        for (const char* field : {"rc", "check"}) {
            paint(row, QString::fromLatin1(field));
            EXPECT_TRUE(ofKind(Op::Kind::TextRect).empty()) << row << field;
        }
    }
    paint(0, QStringLiteral("jg"));
    EXPECT_TRUE(ofKind(Op::Kind::TextRect).empty());
    paint(1, QStringLiteral("check"));
    EXPECT_EQ(canvas.lastText()->text, QStringLiteral("收藏了"));
}

TEST_F(CellPainter, ThumbnailAppearsOnceItsFileExistsAndIsDecodedSmall)
{
    rows(QStringLiteral("(1,'a1','加载中…','5','9','淘宝网','点击收藏')"));
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('k', 'a1', '1')"));
    tpb.open();

    paint(0, QStringLiteral("bz1"));
    EXPECT_TRUE(ofKind(Op::Kind::Picture).empty());
    EXPECT_EQ(canvas.lastText()->text, QStringLiteral("加载中…"));

    writeFile(cache.thumbnailPath(QStringLiteral("a1")), jpegBytes(120, QColor(200, 30, 30)));
    paint(0, QStringLiteral("bz1"));
    const auto pictures = ofKind(Op::Kind::Picture);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures.front().rect, cell); // the whole cell, no margin
    // Decoded by DCT scaling close to the cell, not at its full 120 pixels.
    EXPECT_GE(pictures.front().pictureSize.width(), cell.width());
    EXPECT_GE(pictures.front().pictureSize.height(), cell.height());
    EXPECT_LT(pictures.front().pictureSize.width(), 120);
    EXPECT_EQ(canvas.ops().back().kind, Op::Kind::Picture);

    // Pictures are painted from the file at every paint: a file removed is gone at once.
    QFile::remove(cache.thumbnailPath(QStringLiteral("a1")));
    paint(0, QStringLiteral("bz1"));
    EXPECT_TRUE(ofKind(Op::Kind::Picture).empty());
}

TEST_F(CellPainter, ThumbnailNeedsAnExactPictureRecord)
{
    rows(QStringLiteral(
        "(1,'Ab1','加载中…','5','9','淘宝网','点击收藏'),(2,'c2','加载中…','5','9','淘宝网','点击收藏')"));
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('k', 'ab1', '1'), ('k', 'c2 ', '2')"));
    tpb.open();
    for (const char* cph : {"Ab1", "ab1", "c2"})
        writeFile(cache.thumbnailPath(QString::fromLatin1(cph)), jpegBytes(120, QColor(10, 200, 10)));
    for (int row = 0; row < 2; ++row) {
        paint(row, QStringLiteral("bz1"));
        EXPECT_TRUE(ofKind(Op::Kind::Picture).empty()) << row;
        EXPECT_EQ(canvas.lastText()->text, QStringLiteral("加载中…"));
    }
    // The lookup leaves the picture cursor where it was.
    tpb.setRecNo(2);
    EXPECT_EQ(FindPictureRecord(tpb, QStringLiteral("ab1")), QStringLiteral("ab1"));
    EXPECT_EQ(tpb.recNo(), 2);
}

TEST_F(CellPainter, UnreadableThumbnailKeepsTheTextAndOtherCellsStillDraw)
{
    rows(QStringLiteral("(1,'bad1','加载中…','5','9','淘宝网','点击收藏'),(2,'good2','加载中…','5','9','"
                        "淘宝网','点击收藏')"));
    db.exec(
        QStringLiteral("insert into tpb (word, tpid, bh) values ('k', 'bad1', '1'), ('k', 'good2', '2')"));
    tpb.open();
    writeFile(cache.thumbnailPath(QStringLiteral("bad1")), QByteArrayLiteral("<html>404 Not Found</html>"));
    writeFile(cache.thumbnailPath(QStringLiteral("good2")), jpegBytes(120, QColor(10, 10, 200)));

    paint(0, QStringLiteral("bz1"));
    EXPECT_TRUE(ofKind(Op::Kind::Picture).empty());
    EXPECT_EQ(canvas.lastText()->text, QStringLiteral("加载中…"));
    EXPECT_EQ(composed(0, QStringLiteral("jg")).text, QStringLiteral("￥9.00"));
    paint(1, QStringLiteral("bz1"));
    EXPECT_EQ(ofKind(Op::Kind::Picture).size(), 1u);
}

TEST_F(CellPainter, PixelsShowTheRowColourThePictureAndTheRedText)
{
    rows(QStringLiteral(
        "(1,'p1','加载中…','1234','58','淘宝网','点击收藏'),(2,'p2','加载中…','5','9','淘宝网','已收藏')"));
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('k', 'p1', '1')"));
    tpb.open();
    writeFile(cache.thumbnailPath(QStringLiteral("p1")), jpegBytes(120, QColor(0, 160, 0)));

    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    GridCanvas surface(&p);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(15);
    surface.setFont(font);
    const QRect picture(0, 0, 70, 70);
    const QRect price(100, 0, 80, 70);
    const QRect price2(100, 70, 80, 70);
    const auto draw = [&](int row, const QRect& r, const QString& field, GridDrawState state) {
        surface.setRecord(&cxnr, row);
        surface.setFontColor(Black);
        painter.paint(surface, r, field, state, [&] { surface.fillRect(r); });
    };
    draw(0, picture, QStringLiteral("bz1"), Plain);
    draw(0, price, QStringLiteral("jg"), Selected);
    draw(1, price2, QStringLiteral("jg"), Plain);
    p.end();

    const QColor centre = image.pixelColor(35, 35);
    EXPECT_LT(centre.red(), 30);
    EXPECT_GT(centre.green(), 130);
    EXPECT_EQ(image.pixelColor(price.right() - 2, price.top() + 2), OddRow);
    EXPECT_EQ(image.pixelColor(price2.right() - 2, price2.top() + 2), EvenRow);
    // The red price text sits at top + 32 in the selected cell.
    bool red = false;
    for (int y = price.top() + 32; y < price.top() + 50 && !red; ++y)
        for (int x = price.left() + 10; x < price.right() && !red; ++x) {
            const QColor c = image.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 90 && c.blue() < 90;
        }
    EXPECT_TRUE(red);
}

} // namespace

// The index the grid looks pictures up in answers as a pass over the records would, while
// records are appended, edited and deleted and the dataset is closed and opened again.
TEST_F(CellPainter, PictureRecordIndexFollowsEveryChangeOfTheRecords)
{
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('k', 'a1', '1'), ('k', 'b2', '2')"));
    tpb.setSql(QStringLiteral("select * from tpb"));
    tpb.open();
    const kova::PictureRecordIndex index(tpb);
    const auto agree = [&](const char* step) {
        for (const char* cph : {"a1", "b2", "c3", "d4", "A1", ""}) {
            const QString product = QString::fromLatin1(cph);
            EXPECT_EQ(index.find(product), FindPictureRecord(tpb, product)) << step << " " << cph;
        }
    };
    agree("opened");
    EXPECT_EQ(index.find(QStringLiteral("a1")), QStringLiteral("a1"));

    tpb.append();
    tpb.setField(QStringLiteral("word"), QStringLiteral("k"));
    tpb.setField(QStringLiteral("tpid"), QStringLiteral("c3"));
    tpb.post();
    agree("appended");
    EXPECT_EQ(index.find(QStringLiteral("c3")), QStringLiteral("c3"));

    tpb.first();
    tpb.edit();
    tpb.setField(QStringLiteral("tpid"), QStringLiteral("d4"));
    tpb.post();
    agree("edited");
    EXPECT_TRUE(index.find(QStringLiteral("a1")).isEmpty());

    tpb.last();
    tpb.deleteRow();
    agree("deleted");
    EXPECT_TRUE(index.find(QStringLiteral("c3")).isEmpty());

    tpb.close();
    agree("closed");
    EXPECT_TRUE(index.find(QStringLiteral("b2")).isEmpty());
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('k', 'e5', '3')"));
    tpb.open();
    agree("opened again");
    EXPECT_EQ(index.find(QStringLiteral("e5")), QStringLiteral("e5"));
}

// More records than one of the index's sets holds, appended in batches as a long reading
// does: every one is found, in the first set and the last, and nothing else is.
TEST_F(CellPainter, PictureRecordIndexFindsRecordsPastOneSet)
{
    tpb.setSql(QStringLiteral("select * from tpb"));
    tpb.open();
    const kova::PictureRecordIndex index(tpb);
    EXPECT_TRUE(index.find(QStringLiteral("p1")).isEmpty()); // read once, then followed
    constexpr int Records = 40000;
    for (int batch = 0; batch < 4; ++batch) {
        kova::Dataset::AppendBatch appended(tpb);
        for (int i = batch * Records / 4; i < (batch + 1) * Records / 4; ++i) {
            tpb.append();
            tpb.setField(QStringLiteral("word"), QStringLiteral("k"));
            tpb.setField(QStringLiteral("tpid"), QStringLiteral("p%1").arg(i));
            tpb.post();
        }
    }
    for (int i : {0, 1, 16383, 16384, 16385, 32768, Records - 1})
        EXPECT_EQ(index.find(QStringLiteral("p%1").arg(i)), QStringLiteral("p%1").arg(i)) << i;
    EXPECT_TRUE(index.find(QStringLiteral("p%1").arg(Records)).isEmpty());
    EXPECT_TRUE(index.find(QStringLiteral("P1")).isEmpty());
}
