// The result grid of the real main window: drawing through the grid, clicks through
// QTest, pointer moves, the add-to-favorites request and the picture preview, against
// the stand-in server.
#include "tests/results/ResultWindowFixture.h"

#include "results/FavoriteRequestQueue.h"
#include "results/ResultCellPainter.h"
#include "results/ResultGridActions.h"
#include "search/MerchantFilter.h"
#include "store/PictureCache.h"
#include "tests/support/GridKeys.h"
#include "ui/DatasetModel.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>

using namespace kova;
using namespace kova::test;
using Op = RecordingGridCanvas::Op;

namespace {

class ResultGrid : public ResultWindow {
protected:
    void SetUp() override
    {
        ResultWindow::SetUp();
        start();
        search(QStringLiteral("test3"));
        ASSERT_EQ(window->ADOQuery2.recordCount(), 3);
    }

    PictureCache cache() const { return PictureCache(window->state().TempDir); }
    std::vector<Op> drawn(int row, const QString& name, Op::Kind kind)
    {
        RecordingGridCanvas canvas;
        grid()->drawCell(canvas, grid()->cellRect(row, col(name)), row, col(name));
        std::vector<Op> found;
        for (const Op& op : canvas.ops())
            if (op.kind == kind)
                found.push_back(op);
        lastText = canvas.lastText() ? canvas.lastText()->text : QString();
        return found;
    }
    bool previewShown() const { return window->ui.BigPanel->isVisible(); }
    void waitForMessage(const QString& text)
    {
        EXPECT_TRUE(waitUntil([&] { return messagesWith(text) > 0; }, 10000)) << text.toStdString();
    }

    QString lastText;
};

TEST_F(ResultGrid, DrawsComposedTextsBackgroundsAndThumbnailsThroughTheGrid)
{
    for (int row = 0; row < 3; ++row) {
        const auto price = drawn(row, QStringLiteral("jg"), Op::Kind::TextRect);
        ASSERT_EQ(price.size(), 1u);
        EXPECT_EQ(price.front().text, ResultPriceText(field(row, QStringLiteral("jg"))));
        EXPECT_EQ(drawn(row, QStringLiteral("bz1"), Op::Kind::Picture).size(), 1u) << row;
        const auto favorite = drawn(row, QStringLiteral("check"), Op::Kind::TextRect);
        ASSERT_EQ(favorite.size(), 1u);
        EXPECT_EQ(favorite.front().text, FavoriteInviteText);
        EXPECT_EQ(favorite.front().color, QColor(0, 0, 255));
    }

    // Pixels of the real paint: the row colours, and a picture in the picture cells.
    grid()->scrollToTop();
    const QImage shot = grid()->viewport()->grab().toImage();
    const QRect merchant0 = grid()->cellRect(0, col(QStringLiteral("sjlx")));
    const QRect merchant1 = grid()->cellRect(1, col(QStringLiteral("sjlx")));
    EXPECT_EQ(shot.pixelColor(merchant0.bottomRight() - QPoint(3, 3)), QColor(241, 254, 250));
    EXPECT_EQ(shot.pixelColor(merchant1.bottomRight() - QPoint(3, 3)), QColor(241, 243, 254));
    const QRect picture1 = grid()->cellRect(1, col(QStringLiteral("bz1")));
    EXPECT_NE(shot.pixelColor(picture1.center()), QColor(241, 243, 254));
}

// What a screen reader reads of a result row: each cell as drawn.
TEST_F(ResultGrid, ARowReadsAsItIsDrawn)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid());
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    const auto read = [&](int row, const QString& name) {
        QAccessibleInterface* cell = table->tableInterface()->cellAt(row, col(name));
        return cell ? cell->text(QAccessible::Name) : QStringLiteral("(no cell)");
    };
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(read(row, QStringLiteral("jg")), ResultPriceText(field(row, QStringLiteral("jg"))));
        EXPECT_TRUE(read(row, QStringLiteral("jg")).startsWith(QStringLiteral("￥")));
        // The popularity as composed, or the stored count for a merchant without a composed text.
        const QString popularity =
            ResultPopularityText(field(row, QStringLiteral("rc")), field(row, QStringLiteral("sjlx")));
        EXPECT_EQ(read(row, QStringLiteral("rc")),
                  popularity.isEmpty() ? field(row, QStringLiteral("rc")) : popularity);
        const QString stars = read(row, QStringLiteral("pjjb"));
        EXPECT_FALSE(stars.isEmpty());
        EXPECT_EQ(stars, QString(stars.size(), QChar(u'★')));
        EXPECT_EQ(read(row, QStringLiteral("cpmc")), field(row, QStringLiteral("cpmc")));
        EXPECT_EQ(read(row, QStringLiteral("bz1")), QStringLiteral("商品图片"));
        EXPECT_EQ(read(row, QStringLiteral("check")), FavoriteInviteText);
    }
}

TEST_F(ResultGrid, PlaceholderUntilTheThumbnailFileExists)
{
    const QString path = cache().thumbnailPath(field(1, QStringLiteral("cph")));
    const QString aside = path + QStringLiteral(".aside");
    ASSERT_TRUE(QFile::rename(path, aside));
    EXPECT_TRUE(drawn(1, QStringLiteral("bz1"), Op::Kind::Picture).empty());
    EXPECT_EQ(lastText, QStringLiteral("加载中…"));
    ASSERT_TRUE(QFile::rename(aside, path));
    EXPECT_EQ(drawn(1, QStringLiteral("bz1"), Op::Kind::Picture).size(), 1u);

    // A damaged thumbnail is removed (so a later fetch brings it again) and says that no
    // picture is coming; the other rows still draw.
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    EXPECT_TRUE(drawn(1, QStringLiteral("bz1"), Op::Kind::Picture).empty());
    EXPECT_EQ(lastText, NoPictureText);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(drawn(2, QStringLiteral("bz1"), Op::Kind::Picture).size(), 1u);
    grid()->viewport()->grab(); // a full paint goes through as well
}

TEST_F(ResultGrid, CurrentCellIsDrawnRed)
{
    click(1, QStringLiteral("jg"));
    ASSERT_EQ(window->ADOQuery2.recNo(), 2);
    const auto price = drawn(1, QStringLiteral("jg"), Op::Kind::TextRect);
    ASSERT_EQ(price.size(), 1u);
    EXPECT_EQ(price.front().color, QColor(255, 0, 0));
    EXPECT_EQ(price.front().background, QColor(241, 243, 254));
    EXPECT_NE(drawn(0, QStringLiteral("jg"), Op::Kind::TextRect).front().color, QColor(255, 0, 0));
}

TEST_F(ResultGrid, NameAndComparisonCellsOpenTheirAddresses)
{
    click(1, QStringLiteral("cpmc"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(field(1, QStringLiteral("cplj"))));
    EXPECT_TRUE(
        opened[0].toString().contains(QStringLiteral("/item.htm?id=") + field(1, QStringLiteral("cph"))));

    click(2, QStringLiteral("bz2"));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], QUrl(Requests().preciseComparison(field(2, QStringLiteral("cpmc")))));
    EXPECT_TRUE(opened[1].toString().startsWith(server.serviceUrl() + QStringLiteral("/list.aspx?k=")));

    click(0, QStringLiteral("sjlx"));
    click(0, QStringLiteral("jg"));
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ResultGrid, KeysTypedIntoTheActionCellsChangeNothingAndClicksStillAct)
{
    const QString bh = field(1, QStringLiteral("bh"));
    for (const QString& name : {QStringLiteral("bz2"), QStringLiteral("check")}) {
        SCOPED_TRACE(name.toStdString());
        const QString stored = QStringLiteral("select \"%1\" from cxnr where bh=%2").arg(name, bh);
        const QString before = db.scalar(stored);
        ASSERT_FALSE(before.isEmpty());
        typeIntoCell(grid(), grid()->datasetModel()->index(1, col(name)), QStringLiteral("xyz"));
        EXPECT_EQ(db.scalar(stored), before);
        EXPECT_EQ(field(1, name), before);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 0);
    EXPECT_TRUE(opened.empty());

    // The cells still act on a click: the favorite is asked for, the comparison opened.
    click(1, QStringLiteral("check"));
    waitForMessage(FavoriteAddedText);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteDoneText);
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 1);
    click(1, QStringLiteral("bz2"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(Requests().preciseComparison(field(1, QStringLiteral("cpmc")))));
}

TEST_F(ResultGrid, AddingAFavoriteWaitsForTheReplyAndASecondClickSendsNothing)
{
    const QString bh = field(1, QStringLiteral("bh"));
    click(1, QStringLiteral("check"));
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteInviteText); // not before the reply
    waitForMessage(FavoriteAddedText);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteDoneText);
    EXPECT_EQ(db.scalar(QStringLiteral("select \"check\" from cxnr where bh=") + bh), FavoriteDoneText);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where \"check\"='已收藏'")),
              QStringLiteral("1"));
    ASSERT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 1);
    EXPECT_TRUE(server.log().filter(QStringLiteral("/OpFav.aspx"))[0].contains(QStringLiteral("&i=") + bh +
                                                                               QStringLiteral(" 200")));
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    const auto cell = drawn(1, QStringLiteral("check"), Op::Kind::TextRect);
    EXPECT_EQ(cell.front().text, FavoriteDoneText);

    messages.clear();
    click(1, QStringLiteral("check"));
    waitForMessage(FavoriteAlreadyText);
    // A second request for the row would reach the server in this window.
    settle(200);
    EXPECT_EQ(messagesWith(FavoriteAlreadyText), 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 1);
}

TEST_F(ResultGrid, TwoFavoritesClickedQuicklyAreBothSentAndMarked)
{
    click(0, QStringLiteral("check"));
    click(2, QStringLiteral("check"));
    click(2, QStringLiteral("check")); // still on its way: not sent twice
    EXPECT_TRUE(waitUntil([&] { return messagesWith(FavoriteAddedText) == 2; }, 10000));
    EXPECT_EQ(messagesWith(FavoritePendingText), 1);
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 2);
    EXPECT_EQ(field(0, QStringLiteral("check")), FavoriteDoneText);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteInviteText);
    EXPECT_EQ(field(2, QStringLiteral("check")), FavoriteDoneText);
}

TEST_F(ResultGrid, FavoriteRowFilteredOutBeforeTheReplyIsStillMarked)
{
    int row = 0;
    int box = -1;
    for (; row < 3 && box < 0; ++row)
        for (size_t i = 0; i < FilterMerchants.size(); ++i)
            if (FilterMerchants[i] == field(row, QStringLiteral("sjlx")))
                box = static_cast<int>(i) + 2;
    --row;
    ASSERT_GE(box, 2) << "test3 has no row of the seven merchants";
    const QString cph = field(row, QStringLiteral("cph"));
    const QString bh = field(row, QStringLiteral("bh"));
    click(row, QStringLiteral("check"));
    window->ui.checkBoxes()[static_cast<size_t>(box - 1)]->click();
    ASSERT_LT(FindResultRow(window->ADOQuery2, bh, cph), 0);
    waitForMessage(FavoriteAddedText);
    EXPECT_EQ(db.scalar(QStringLiteral("select \"check\" from cxnr where cph='%1'").arg(cph)),
              FavoriteDoneText);
    window->ui.suiCheckBox1->click();
    EXPECT_EQ(window->ADOQuery2.recordCount(), 3);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where \"check\"='已收藏'")),
              QStringLiteral("1"));
}

TEST_F(ResultGrid, FavoriteCellOfARowWithoutNumberDoesNothing)
{
    const QString cph = field(0, QStringLiteral("cph"));
    db.exec(QStringLiteral("update cxnr set bh=NULL where cph='%1'").arg(cph));
    window->get_cxnr();
    int row = 0;
    while (row < 3 && field(row, QStringLiteral("cph")) != cph)
        ++row;
    ASSERT_LT(row, 3);
    ASSERT_TRUE(field(row, QStringLiteral("bh")).isEmpty());
    click(row, QStringLiteral("check"));
    // A request or a message for the row would come in this window.
    settle(200);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 0);
    EXPECT_EQ(field(row, QStringLiteral("check")), FavoriteInviteText);
}

TEST_F(ResultGrid, FailedFavoriteRequestLeavesTheRowAndSaysSo)
{
    server.setFault(standin::Fault::ErrorStatus, QStringLiteral("/OpFav"));
    click(1, QStringLiteral("check"));
    waitForMessage(FavoriteFailedText);
    EXPECT_EQ(messagesWith(FavoriteAddedText), 0);
    EXPECT_EQ(messages.back().caption, QStringLiteral("提示"));
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteInviteText);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where \"check\"='已收藏'")),
              QStringLiteral("0"));

    // A wrong account is refused by the service: no success either.
    server.setFault(standin::Fault::None);
    messages.clear();
    window->state().UserPassword = QStringLiteral("wrong");
    click(1, QStringLiteral("check"));
    waitForMessage(FavoriteFailedText);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteInviteText);

    // Once the service answers, the same cell can be tried again.
    window->state().UserPassword = QStringLiteral("mivra");
    messages.clear();
    click(1, QStringLiteral("check"));
    waitForMessage(FavoriteAddedText);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteDoneText);
}

TEST_F(ResultGrid, WithoutAnAccountNothingIsSent)
{
    window->state().UserId.clear();
    click(1, QStringLiteral("check"));
    waitForMessage(FavoriteNoAccountText);
    // A request without an account would reach the server in this window.
    settle(200);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, FavoriteNoAccountText);
    EXPECT_EQ(messages[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 0);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteInviteText);
}

TEST_F(ResultGrid, PreviewDownloadsOnceAndSitsAboveThePointer)
{
    const QString large = cache().largePicturePath(field(1, QStringLiteral("cph")));
    ASSERT_FALSE(QFileInfo::exists(large));
    const QPoint at = cellPoint(1, QStringLiteral("bz1"));
    const int left = window->ui.BigPanel->x();
    click(1, QStringLiteral("bz1"));
    // The hourglass while the picture comes; the window goes on answering.
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hourglass);
    EXPECT_FALSE(previewShown());
    ASSERT_TRUE(waitUntil([this] { return !window->previewPending(); }, 10000));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(previewShown());
    EXPECT_TRUE(window->ui.BigImage->isVisible());
    EXPECT_FALSE(window->ui.BigImage->pixmap().isNull());
    EXPECT_TRUE(QFileInfo::exists(large));
    EXPECT_EQ(requestsWith(QStringLiteral("_b.jpg")), 1);
    EXPECT_EQ(window->ui.BigPanel->y(), grid()->viewport()->mapTo(grid(), at).y() - 55);
    EXPECT_EQ(window->ui.BigPanel->x(), left);
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);

    // Moving onto the name hides it; a later click uses the cached file.
    moveOverCell(1, QStringLiteral("cpmc"));
    EXPECT_FALSE(previewShown());
    click(1, QStringLiteral("bz1"));
    EXPECT_TRUE(previewShown());
    EXPECT_EQ(requestsWith(QStringLiteral("_b.jpg")), 1);
}

TEST_F(ResultGrid, PreviewComesOnlyWhileThePointerStaysOnItsCell)
{
    const QString large = cache().largePicturePath(field(0, QStringLiteral("cph")));
    server.setFault(standin::Fault::Stall, QStringLiteral("/pic/"));
    window->setPictureTimeouts(std::chrono::seconds(10), std::chrono::milliseconds(800));
    click(0, QStringLiteral("bz1"));
    ASSERT_TRUE(window->previewPending());
    // The user moves on to the name while the picture is on its way.
    moveOverCell(0, QStringLiteral("cpmc"));
    ASSERT_TRUE(waitUntil([this] { return !window->previewPending(); }, 10000));
    server.setFault(standin::Fault::None);
    EXPECT_FALSE(previewShown());
    EXPECT_TRUE(messages.empty()); // nobody waits for that picture any more
    EXPECT_FALSE(QFileInfo::exists(large));

    // Clicked again and waited for: it comes.
    clickPicture(0);
    EXPECT_TRUE(previewShown());
    EXPECT_TRUE(QFileInfo::exists(large));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
}

TEST_F(ResultGrid, ProductNumberThatNamesNoFileShowsNothing)
{
    db.exec(QStringLiteral("update cxnr set cph='../../etc/x' where bh=(select min(bh) from cxnr)"));
    window->get_cxnr();
    const int row = [this] {
        for (int r = 0; r < 3; ++r)
            if (field(r, QStringLiteral("cph")).startsWith(QStringLiteral("..")))
                return r;
        return -1;
    }();
    ASSERT_GE(row, 0);
    clickPicture(row);
    EXPECT_FALSE(previewShown());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(requestsWith(QStringLiteral("_b.jpg")), 0);
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
}

TEST_F(ResultGrid, PreviewWithoutAddressDoesNothing)
{
    db.exec(QStringLiteral("update cxnr set dtp=NULL"));
    window->get_cxnr();
    moveOverCell(0, QStringLiteral("cpmc"));
    ASSERT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
    click(0, QStringLiteral("bz1"));
    EXPECT_FALSE(previewShown());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(requestsWith(QStringLiteral("/pic/")), 0);
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
}

TEST_F(ResultGrid, UnreadableLargePictureIsReportedRemovedAndFetchedAgain)
{
    const QString large = cache().largePicturePath(field(0, QStringLiteral("cph")));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html>busy</html>");
    }
    clickPicture(0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_FALSE(previewShown());
    EXPECT_FALSE(QFileInfo::exists(large));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);

    clickPicture(0);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(previewShown());
    EXPECT_EQ(requestsWith(QStringLiteral("_b.jpg")), 1);
}

TEST_F(ResultGrid, FailedLargePictureDownloadShowsNoPreview)
{
    server.setFault(standin::Fault::ErrorStatus, QStringLiteral("/pic/"));
    moveOverCell(0, QStringLiteral("cpmc"));
    clickPicture(2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_FALSE(previewShown());
    EXPECT_FALSE(QFileInfo::exists(cache().largePicturePath(field(2, QStringLiteral("cph")))));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
}

TEST_F(ResultGrid, CursorFollowsTheColumnAndTheSelectedRowsFavoriteState)
{
    moveOverCell(2, QStringLiteral("cpmc"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
    moveOverCell(2, QStringLiteral("jg"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
    moveOverCell(2, QStringLiteral("bz2"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
    moveOverCell(2, QStringLiteral("sjlx"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
    moveOverCell(2, QStringLiteral("check"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);

    // The selected row is a favorite now: over any row's favorite cell the cursor is the
    // default one, though the row under the pointer still invites a click.
    click(0, QStringLiteral("check"));
    waitForMessage(FavoriteAddedText);
    ASSERT_EQ(window->ADOQuery2.recNo(), 1);
    moveOverCell(2, QStringLiteral("check"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
    EXPECT_EQ(field(2, QStringLiteral("check")), FavoriteInviteText);
    click(2, QStringLiteral("jg"));
    moveOverCell(0, QStringLiteral("check"));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
}

TEST_F(ResultGrid, TitleRowAndPictureColumnLeaveCursorAndPreviewAlone)
{
    clickPicture(0);
    ASSERT_TRUE(previewShown());
    moveOverCell(0, QStringLiteral("cpmc"));
    ASSERT_FALSE(previewShown());
    ASSERT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);

    clickPicture(1);
    ASSERT_TRUE(previewShown());
    SetScreenCursor(ScreenCursor::Hand);
    // Over the titles, the pointer changes nothing.
    QHeaderView* header = grid()->horizontalHeader();
    const int jgTitle = header->sectionViewportPosition(col(QStringLiteral("jg"))) + 10;
    moveOver(header->viewport(), QPoint(jgTitle, 8));
    EXPECT_TRUE(previewShown());
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
    // Over the picture column neither.
    moveOverCell(2, QStringLiteral("bz1"));
    EXPECT_TRUE(previewShown());
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
    // Outside the cells neither.
    moveOver(grid()->viewport(), QPoint(grid()->viewport()->width() - 2, grid()->viewport()->height() - 2));
    EXPECT_TRUE(previewShown());

    // The search bar only hides the preview: the hand stays.
    moveOver(window->ui.pnl1, QPoint(5, 5));
    EXPECT_FALSE(previewShown());
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
}

} // namespace

namespace {

// A keyword searched with the window's own commands; one thumbnail answers 404.
class ShopperFixes : public ResultWindow {
protected:
    void SetUp() override
    {
        ResultWindow::SetUp();
        start();
    }
    QString drawnText(int row, const QString& name)
    {
        RecordingGridCanvas canvas;
        grid()->drawCell(canvas, grid()->cellRect(row, col(name)), row, col(name));
        return canvas.lastText() ? canvas.lastText()->text : QString();
    }
};

TEST_F(ShopperFixes, ThumbnailThatCannotComeSaysSoUntilAFetchSavesIt)
{
    search(QStringLiteral("test4-brokenpic"));
    ASSERT_EQ(window->ADOQuery2.recordCount(), 4);
    int broken = -1;
    for (int row = 0; row < 4; ++row)
        if (field(row, QStringLiteral("xtp")).contains(QLatin1String("/pic/missing/")))
            broken = row;
    ASSERT_GE(broken, 0);
    EXPECT_EQ(drawnText(broken, QStringLiteral("bz1")), NoPictureText);
    for (int row = 0; row < 4; ++row) {
        if (row != broken) {
            EXPECT_NE(drawnText(row, QStringLiteral("bz1")), NoPictureText) << row;
        }
    }

    // The same product found with a picture that loads: the next fetch takes the mark away.
    const QString cph = field(broken, QStringLiteral("cph"));
    const QString path = PictureCache(window->state().TempDir).thumbnailPath(cph);
    ASSERT_FALSE(QFileInfo::exists(path));
    window->ADOQuery4.setSql(QStringLiteral("select * from cxnr where cph=?"), {cph});
    window->ADOQuery4.open();
    window->ADOQuery4.edit();
    window->ADOQuery4.setField(QStringLiteral("xtp"), field((broken + 1) % 4, QStringLiteral("xtp")));
    window->ADOQuery4.post();
    window->StartThumbnailFetcher();
    ASSERT_TRUE(fetchersDone());
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_NE(drawnText(broken, QStringLiteral("bz1")), NoPictureText);
}

TEST_F(ShopperFixes, AProductNewToAKeywordSearchedBeforeGetsItsThumbnailDrawn)
{
    search(QStringLiteral("test20"));
    ASSERT_TRUE(fetchersDone());
    // As if the service listed one product more than the first time.
    const QString cph = field(3, QStringLiteral("cph"));
    db.exec(QStringLiteral("delete from tpb where tpid='%1'").arg(cph));
    ASSERT_TRUE(QFile::remove(PictureCache(window->state().TempDir).thumbnailPath(cph)));
    search(QStringLiteral("test20"));
    EXPECT_TRUE(window->state().WordHasPictures);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where word='test20'")),
              QStringLiteral("20"));
    ASSERT_TRUE(fetchersDone());
    int row = -1;
    for (int r = 0; r < window->ADOQuery2.recordCount(); ++r)
        row = field(r, QStringLiteral("cph")) == cph ? r : row;
    ASSERT_GE(row, 0);
    RecordingGridCanvas canvas;
    grid()->drawCell(canvas, grid()->cellRect(row, col(QStringLiteral("bz1"))), row,
                     col(QStringLiteral("bz1")));
    ASSERT_FALSE(canvas.ops().empty());
    EXPECT_EQ(canvas.ops().back().kind, Op::Kind::Picture);
}

TEST_F(ShopperFixes, TwelveThumbnailsThatFailedComeAtTheNextSearch)
{
    server.setFault(standin::Fault::ErrorStatus, QStringLiteral("/pic/"));
    search(QStringLiteral("test12"));
    ASSERT_TRUE(fetchersDone());
    EXPECT_EQ(drawnText(0, QStringLiteral("bz1")), NoPictureText);
    server.setFault(standin::Fault::None);
    search(QStringLiteral("test12"));
    ASSERT_TRUE(fetchersDone());
    for (int row = 0; row < 12; ++row) {
        EXPECT_TRUE(QFileInfo::exists(
            PictureCache(window->state().TempDir).thumbnailPath(field(row, QStringLiteral("cph")))))
            << row;
        EXPECT_NE(drawnText(row, QStringLiteral("bz1")), NoPictureText) << row;
    }
}

TEST_F(ShopperFixes, EscStopsAStalledSearchAtOnceAndNothingIsRead)
{
    search(QStringLiteral("test3")); // a count in the status bar that must not stay
    server.setFault(standin::Fault::Stall, QStringLiteral("/ListAll"));
    window->ui.edt_key->setText(QStringLiteral("test5"));
    window->suiButton4Click();
    ASSERT_TRUE(window->wbwebb.isLoading());
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("当前操作: 网购比价搜索"));
    ASSERT_TRUE(waitUntil([this] { return requestsWith(QStringLiteral("ListAll")) > 0; }, 10000));

    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window->ui.Edt_word, Qt::Key_Escape);
    EXPECT_FALSE(window->wbwebb.isLoading());
    EXPECT_FALSE(window->ui.suiImagePanel1->isVisible());
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("已停止搜索"));

    // Nothing of that page is ever read, and the next search works.
    server.setFault(standin::Fault::None);
    settle(500); // a stale completion would arrive in this time
    EXPECT_EQ(window->ADOQuery2.recordCount(), 0);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
    EXPECT_TRUE(messages.empty());
    search(QStringLiteral("test5"));
    EXPECT_EQ(window->ADOQuery2.recordCount(), 5);
}

TEST_F(ShopperFixes, DeletedFavoriteInvitesAgainInEveryResultRow)
{
    search(QStringLiteral("test3"));
    click(1, QStringLiteral("check"));
    ASSERT_TRUE(waitUntil([this] { return messagesWith(FavoriteAddedText) > 0; }, 10000));
    const QString cph = field(1, QStringLiteral("cph"));
    ASSERT_EQ(field(1, QStringLiteral("check")), FavoriteDoneText);

    window->btn2Click();
    ASSERT_TRUE(waitUntil([this] { return window->ADOQuery3.recordCount() == 1; }, 10000));
    window->ADOQuery3.setRecNo(1);
    ASSERT_EQ(window->ADOQuery3.fieldText(QStringLiteral("cph")), cph);
    answer = true;
    window->deleteFavorite();
    ASSERT_TRUE(waitUntil([this] { return requestsWith(QStringLiteral("&uf=")) == 1; }, 10000));
    ASSERT_TRUE(waitUntil(
        [&] {
            return db.scalar(QStringLiteral("select \"check\" from cxnr where cph='") + cph +
                             QStringLiteral("'")) == FavoriteInviteText;
        },
        10000));

    window->btn1Click();
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteInviteText);
    messages.clear();
    click(1, QStringLiteral("check")); // and it can be added again
    ASSERT_TRUE(waitUntil([this] { return messagesWith(FavoriteAddedText) > 0; }, 10000));
    EXPECT_EQ(messagesWith(FavoriteAlreadyText), 0);
    EXPECT_EQ(field(1, QStringLiteral("check")), FavoriteDoneText);
}

} // namespace
