// The favorites and price-drop commands, the auxiliary window, the favorites grid and the
// version page on a real main window in a temporary working folder, against the stand-in
// server on loopback ports.
#include "app/Uzjm.h"
#include "favorites/FavoritesGridPainter.h"
#include "favorites/FavoritesListReader.h"
#include "favorites/Usc.h"
#include "links/Browser.h"
#include "search/ResultPageReader.h"
#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "service/Requests.h"
#include "store/AlertPreferences.h"
#include "store/Cipher.h"
#include "store/PictureCache.h"
#include "tests/support/GridKeys.h"
#include "tests/support/TestSeams.h"
#include "tests/support/TestSupport.h"
#include "ui/DatasetModel.h"
#include "ui/Messages.h"
#include "ui/ScreenCursor.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

using namespace kova;
using kova::test::waitUntil;

namespace {

const QString FavoritesStatus = QStringLiteral("当前操作: 商品收藏夹");
const QString DropsStatus = QStringLiteral("当前操作: 商品降价通知");
const QString DeleteQuestion = QStringLiteral("确定删除当前选择的收藏商品吗？ ");

// The folder and the seams are bases, so they are set up before the window and taken down
// after it.
class FavoritesWindow : public ::testing::Test, protected test::TestFolder, protected test::TestSeams {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        s_server = std::make_unique<standin::StandInServer>();
        standin::ServerOptions options;
        options.dataDir = s_dir->path();
        s_server->start(options);
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_dir.reset();
    }

    void SetUp() override
    {
        hosts.pointAt(server());
        SetScreenCursor(ScreenCursor::Default);
        server().setFault(standin::Fault::None);
        server().clearLog();
    }
    void TearDown() override
    {
        window.reset();
        SetScreenCursor(ScreenCursor::Default);
    }

    static standin::StandInServer& server() { return *s_server; }

    // True once the window owns no auxiliary window any more (each frees itself).
    bool auxiliaryWindowsGone() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window->findChildren<Tfrmsc*>().isEmpty();
    }

    // Starts the window on an empty settings record: the account and the ids come from
    // the stand-in through the first-run requests.
    Tfrmkova& start()
    {
        window = std::make_unique<Tfrmkova>();
        window->show();
        EXPECT_TRUE(waitUntil(
            [this] {
                return !window->state().UserId.isEmpty() && !window->wbwebb.isLoading() &&
                       auxiliaryWindowsGone();
            },
            10000));
        messages.clear();
        server().clearLog();
        return *window;
    }

    // Favorites made at the service for the window's account: rows of a search for
    // `keyword`, as the result grid's favorite cell adds them.
    void addFavorites(const QString& keyword, const std::vector<int>& rows)
    {
        HttpClient http;
        const Requests requests;
        const QString u = window->state().UserId;
        const QString p = window->state().UserPassword;
        http.get(requests.listAll(keyword, u, p));
        for (int row : rows)
            http.get(requests.addFavorite(u, p, QString::number(row)));
        server().clearLog();
    }

    // Clicks a list command and waits until its window has read the page and gone.
    void runList(QToolButton* button)
    {
        button->click();
        ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));
        ASSERT_TRUE(picturesDone());
    }
    // The list's pictures come after the reading, off the window's thread.
    bool picturesDone()
    {
        return waitUntil(
            [this] { return !window->favoritesFetcher() || window->favoritesFetcher()->isFinished(); },
            10000);
    }

    int rowCount() const { return window->ADOQuery3.recordCount(); }
    QString field(int row, const char* name) const
    {
        const Dataset& rows = window->ADOQuery3;
        return rows.fieldAt(row, indexOfField(rows.fieldNames(), QString::fromLatin1(name))).toString();
    }
    QString status() const { return window->ui.StatusBar1->panelText(0); }
    int requestsWith(const QString& part) const
    {
        return static_cast<int>(server().log().filter(part).size());
    }

    // The favorite ids a list page of the service holds (the cell after each row start).
    static std::set<QString> listedIds(const QString& url)
    {
        HttpClient http;
        const QStringList lines = QString::fromLatin1(http.get(url).body).split(QStringLiteral("\r\n"));
        std::set<QString> ids;
        for (int i = 0; i + 1 < lines.size(); ++i) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^<TD>(\\d+)</TD>$")).match(lines[i + 1]);
            if (lines[i].contains(QStringLiteral("<TR>")) && m.hasMatch())
                ids.insert(m.captured(1));
        }
        return ids;
    }

    static void expectNeverMapped(const QWidget* aux)
    {
        EXPECT_TRUE(aux->testAttribute(Qt::WA_DontShowOnScreen));
        EXPECT_EQ(aux->windowType(), Qt::Tool); // no task-bar entry
        EXPECT_FALSE(aux->isActiveWindow());
        if (const QWindow* handle = aux->windowHandle()) {
            EXPECT_FALSE(handle->isVisible());
            EXPECT_FALSE(handle->isExposed());
        }
        for (const QWindow* w : QGuiApplication::allWindows()) {
            if (w->title() == QStringLiteral("frmsc")) {
                EXPECT_FALSE(w->isVisible());
            }
        }
    }

    std::unique_ptr<Tfrmkova> window;

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::unique_ptr<standin::StandInServer> s_server;
};

// The favorites command from the click to the table drawn: three favorites at the service,
// one stale row in the table before. Each step has its own case, so that one failing step
// does not hide the others.
class FavoritesCommand : public FavoritesWindow {
protected:
    void SetUp() override
    {
        FavoritesWindow::SetUp();
        start();
        addFavorites(QStringLiteral("test5"), {1, 3, 5});
        db.exec(QStringLiteral("insert into scnr (ufid, cph) values ('999', 'stale')"));
        window->ADOQuery3.open();
        ASSERT_EQ(rowCount(), 1);
    }
    // Clicks the command and waits until its auxiliary window has read the list and gone.
    void fetch()
    {
        window->ui.btn2->click();
        ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));
        ASSERT_EQ(rowCount(), 3);
        ASSERT_TRUE(picturesDone());
    }
};

TEST_F(FavoritesCommand, ClickShowsTheViewAndEmptiesTheTableAtOnce)
{
    Tfrmkova& w = *window;
    w.ui.btn2->click();
    // At once: the mode, the buttons, the view, the progress panel and an empty table.
    EXPECT_EQ(w.state().ListMode, ListMode::Favorites);
    EXPECT_TRUE(w.ui.btn1->isEnabled());
    EXPECT_FALSE(w.ui.btn2->isEnabled());
    EXPECT_TRUE(w.ui.btn3->isEnabled());
    EXPECT_TRUE(w.ui.pan02->isVisible());
    EXPECT_FALSE(w.ui.pan01->isVisible());
    EXPECT_FALSE(w.ui.pan03->isVisible());
    EXPECT_EQ(status(), FavoritesStatus);
    EXPECT_TRUE(w.ui.suiImagePanel1->isVisible());
    EXPECT_EQ(w.ui.lbl2->text(), QStringLiteral("正在获取商品收藏夹数据，请稍后...... "));
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 0);
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(FavoritesCommand, ListIsReadByAnAuxiliaryWindowThatIsNeverShownAndFreesItself)
{
    window->ui.btn2->click();
    QPointer<Tfrmsc> aux = frmsc;
    ASSERT_FALSE(aux.isNull());
    EXPECT_EQ(aux->purpose(), Tfrmsc::Purpose::Favorites);
    expectNeverMapped(aux);
    ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));
    EXPECT_TRUE(aux.isNull());
    EXPECT_TRUE(frmsc.isNull());
    EXPECT_EQ(requestsWith(QStringLiteral("/ListAllMyFav.aspx?u=") + window->state().UserId +
                           QStringLiteral("&p=mivra ")),
              1);
}

TEST_F(FavoritesCommand, ReadListReplacesTheTableAndEndsTheProgress)
{
    fetch();
    Tfrmkova& w = *window;
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有: 3 条记录"));
    EXPECT_FALSE(w.ui.suiImagePanel1->isVisible());
    EXPECT_EQ(w.ui.suiProgressBar1->value(), 100);
    EXPECT_EQ(w.ui.lbl2->text(), QStringLiteral("获取商品收藏夹数据结束 "));
    for (int row = 0; row < 3; ++row)
        EXPECT_NE(field(row, "ufid"), QStringLiteral("999")) << row;
    EXPECT_TRUE(messages.empty());
}

TEST_F(FavoritesCommand, RowsCarryTheAccountThumbnailsAndLinksWithTheOperatorsIds)
{
    fetch();
    Tfrmkova& w = *window;
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(field(row, "user"), w.state().UserId);
        EXPECT_EQ(field(row, "bz2"), QStringLiteral("删除收藏"));
        EXPECT_TRUE(QFileInfo::exists(PictureCache(w.state().TempDir).thumbnailPath(field(row, "cph"))));
        // Links carry the operator's ids that the version page gave at start.
        EXPECT_TRUE(field(row, "cplj").contains(QStringLiteral("item.htm?id=") + field(row, "cph")));
        EXPECT_FALSE(field(row, "cplj").contains(QStringLiteral("&amp;")));
    }
}

TEST_F(FavoritesCommand, GridDrawsTheRowsAsRead)
{
    fetch();
    DBGridEh& grid = *window->ui.DBGridEh2;
    for (int col : {1, 2, 7})
        EXPECT_EQ(grid.column(col).fontColor, QColor(0, 0, 255)) << col;
    // The prices of the rows as read, and the thumbnail in the picture column.
    RecordingGridCanvas canvas;
    grid.drawCell(canvas, grid.cellRect(0, 4), 0, 4);
    ASSERT_NE(canvas.lastText(), nullptr);
    EXPECT_EQ(canvas.lastText()->text, SavedPriceText(field(0, "scjg")));
    canvas.clearOps();
    grid.drawCell(canvas, grid.cellRect(0, 0), 0, 0);
    ASSERT_FALSE(canvas.ops().empty());
    EXPECT_EQ(canvas.ops().back().kind, RecordingGridCanvas::Op::Kind::Picture);
}

TEST_F(FavoritesWindow, PriceDropMadeOnTheServerAppearsInTheNotices)
{
    // The desktop alerts' own check at start would find the same drops and, without a
    // notification service, put its count into the status bar at any moment: off here.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       db.folder() + QStringLiteral("/config"));
    AlertPreferences off;
    off.enabled = false;
    off.save();
    Tfrmkova& w = start();
    addFavorites(QStringLiteral("test6"), {1, 2, 3, 4, 5, 6});
    server().dropPricesNow();
    const int before = requestsWith(QStringLiteral("&d=down "));
    runList(w.ui.btn3);
    EXPECT_EQ(w.state().ListMode, ListMode::PriceDrops);
    EXPECT_TRUE(w.ui.btn2->isEnabled());
    EXPECT_FALSE(w.ui.btn3->isEnabled());
    // The command's own request; the price-drop check at start may ask once too, on its own
    // loader, when the machine is slow enough for it to fall in here.
    const int asked = requestsWith(QStringLiteral("&d=down "));
    EXPECT_GE(asked - before, 1);
    EXPECT_LE(asked, 2);
    ASSERT_EQ(rowCount(), 6);
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有降价通知: 6 条记录"));
    EXPECT_EQ(w.ui.lbl2->text(), QStringLiteral("获取商品降价通知结束 "));
    for (int row = 0; row < 6; ++row) {
        const auto saved = DecimalValue(field(row, "scjg"));
        const auto current = DecimalValue(field(row, "gxjg"));
        ASSERT_TRUE(saved && current) << row;
        EXPECT_LT(*current, *saved) << row;
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(FavoritesWindow, FavoriteAddedFromTheResultGridAppearsInTheList)
{
    Tfrmkova& w = start();
    w.ui.edt_key->setText(QStringLiteral("test3"));
    w.suiButton4Click();
    ASSERT_TRUE(waitUntil([&] { return !w.wbwebb.isLoading() && w.ADOQuery2.recordCount() == 3; }, 10000));
    w.ADOQuery2.setRecNo(2);
    const QString cph = w.ADOQuery2.fieldText(QStringLiteral("cph"));
    int check = -1;
    for (int i = 0; i < w.ui.DBGridEh1->columnCountEh(); ++i)
        if (w.ui.DBGridEh1->column(i).field == QStringLiteral("check"))
            check = i;
    ASSERT_GE(check, 0);
    emit w.ui.DBGridEh1->CellClick(check);
    ASSERT_TRUE(waitUntil(
        [&] { return requestsWith(QStringLiteral("/OpFav.aspx?")) > 0 && !messages.empty(); }, 10000));

    runList(w.ui.btn2);
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(field(0, "cph"), cph);
}

TEST_F(FavoritesWindow, HeaderOnlyListShowsZeroWithoutMessage)
{
    Tfrmkova& w = start();
    runList(w.ui.btn2);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有: 0 条记录"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FavoritesWindow, OneRowTakesTheBarToSixtyThenToAHundred)
{
    Tfrmkova& w = start();
    addFavorites(QStringLiteral("test2"), {2});
    std::vector<int> values;
    w.ui.suiProgressBar1->setValue(42);
    QObject::connect(w.ui.suiProgressBar1, &QProgressBar::valueChanged, w.ui.suiProgressBar1,
                     [&values](int v) { values.push_back(v); });
    runList(w.ui.btn2);
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(values, (std::vector<int>{0, 60, 100}));
}

TEST_F(FavoritesWindow, PageThatIsNoListShowsTheNoNetworkMessage)
{
    Tfrmkova& w = start();
    // A wrong password: the service answers with an error page that names no one.
    w.state().UserPassword = QStringLiteral("wrong");
    runList(w.ui.btn2);
    EXPECT_EQ(rowCount(), 0);
    ASSERT_EQ(messagesWith(NoNetworkText), 1);
    EXPECT_EQ(messages.front().caption, QStringLiteral("提示"));
    EXPECT_EQ(messages.front().kind, Message::Kind::Info);
    EXPECT_EQ(status(), FavoritesStatus);
    EXPECT_FALSE(w.ui.suiImagePanel1->isVisible());

    // Row lines alone do not make a list page.
    messages.clear();
    w.btn2Click();
    QPointer<Tfrmsc> aux = frmsc;
    ASSERT_FALSE(aux.isNull());
    aux->Memo1.setText(QStringLiteral("<HTML><BODY>\n<TABLE><TBODY><TR>\n<TD>1</TD>\n<TD>x</TD></TR>\n<TR>\n"
                                      "<TD>2</TD></TR>\n</TBODY></TABLE></BODY></HTML>\n"));
    aux->WebBrowser1DocumentComplete(); // before the real reply: Memo1 holds the page above
    ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(messagesWith(NoNetworkText), 1);
}

TEST_F(FavoritesWindow, UnreachableServiceGivesTheMessageAndFreesTheWindow)
{
    Tfrmkova& w = start();
    hosts.pointAt(test::ClosedHost, server().versionUrl(), server().directoryUrl());
    runList(w.ui.btn3);
    EXPECT_EQ(messagesWith(NoNetworkText), 1);
    EXPECT_EQ(status(), DropsStatus);
}

TEST_F(FavoritesWindow, PictureThatFailsLeavesEveryRowStored)
{
    Tfrmkova& w = start();
    addFavorites(QStringLiteral("test4-brokenpic"), {1, 2, 3, 4});
    runList(w.ui.btn2);
    ASSERT_EQ(rowCount(), 4);
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有: 4 条记录"));
    EXPECT_FALSE(w.ui.suiImagePanel1->isVisible());
    EXPECT_TRUE(messages.empty());
    int missing = 0;
    for (int row = 0; row < 4; ++row)
        missing +=
            QFileInfo::exists(PictureCache(w.state().TempDir).thumbnailPath(field(row, "cph"))) ? 0 : 1;
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(requestsWith(QStringLiteral("/pic/missing/")), 1);
}

TEST_F(FavoritesWindow, NoticesRightAfterFavoritesFillTheTableAlone)
{
    Tfrmkova& w = start();
    addFavorites(QStringLiteral("test8"), {1, 2, 3, 4, 5, 6, 7, 8});
    server().dropPricesNow();
    // Added after the drop: these are notices only when their price moved down today.
    addFavorites(QStringLiteral("test9"), {1, 2, 3, 4, 5, 6, 7, 8, 9});
    const std::set<QString> notices =
        listedIds(Requests().listPriceDrops(w.state().UserId, w.state().UserPassword));
    ASSERT_GE(notices.size(), 8u);
    ASSERT_EQ(listedIds(Requests().listFavorites(w.state().UserId, w.state().UserPassword)).size(), 17u);
    server().clearLog();

    w.ui.btn2->click();
    QPointer<Tfrmsc> favorites = frmsc;
    w.ui.btn3->click();
    EXPECT_NE(frmsc.data(), favorites.data());
    ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));
    EXPECT_TRUE(favorites.isNull());

    // Whatever became of the favorites reply, only the notices are in the table.
    std::set<QString> stored;
    for (int row = 0; row < rowCount(); ++row)
        stored.insert(field(row, "ufid"));
    EXPECT_EQ(stored, notices);
    EXPECT_EQ(db.count(QStringLiteral("scnr")), static_cast<int>(notices.size()));
    EXPECT_EQ(status(), TextsOf(FavoriteList::PriceDrops).countText(static_cast<int>(notices.size())));
    EXPECT_EQ(w.state().ListMode, ListMode::PriceDrops);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FavoritesWindow, SupersededReplyCompletingLateIsDropped)
{
    Tfrmkova& w = start();
    addFavorites(QStringLiteral("test3"), {1, 2, 3});
    w.ui.btn2->click();
    QPointer<Tfrmsc> first = frmsc;
    // Keep the first window: its reply arrives after the second command.
    first->setAttribute(Qt::WA_DeleteOnClose, false);
    w.ui.btn3->click();
    first->Memo1.setText(QStringLiteral("<TR>\n<TD>序列</TD>\n<TR>\n<TD>77</TD>\n<TD>") + w.state().UserId +
                         QStringLiteral("</TD>\n"));
    // A late completion of the closed window reads nothing, nor does its page when
    // handed to the reader: a newer list command owns scnr.
    first->WebBrowser1DocumentComplete();
    w.readAuxiliaryPage(*first);
    ASSERT_TRUE(waitUntil([this] { return window->findChildren<Tfrmsc*>().size() == 1; }, 10000));
    for (int row = 0; row < rowCount(); ++row)
        EXPECT_NE(field(row, "ufid"), QStringLiteral("77"));
    EXPECT_TRUE(status().startsWith(QStringLiteral("您收藏的商品共有降价通知: ")));
    delete first.data();
}

TEST_F(FavoritesWindow, ListCommandBeforeTheVersionPageKeepsTheIds)
{
    // An account of the service, but no affiliate ids yet.
    HttpClient http;
    const QByteArray reply = http.get(Requests().randomUser()).body;
    const QString user =
        QRegularExpression(QStringLiteral("k\\d{7}")).match(QString::fromLatin1(reply)).captured();
    ASSERT_FALSE(user.isEmpty());
    db.exec(QStringLiteral("insert into xxb (ver, u, p) values ('%1', '%2', '%3')")
                .arg(DefaultVersionCipher(), Encipher(user, StoreKey),
                     Encipher(QStringLiteral("mivra"), StoreKey)));
    server().clearLog();

    window = std::make_unique<Tfrmkova>();
    window->show();
    ASSERT_FALSE(frmsc.isNull());
    EXPECT_EQ(frmsc->purpose(), Tfrmsc::Purpose::VersionPage);
    expectNeverMapped(frmsc);
    window->ui.btn2->click(); // before the version page has completed
    ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));

    EXPECT_EQ(window->state().TaobaoPid, QStringLiteral("mm_12345678_0_0"));
    EXPECT_EQ(window->state().JdUnionId, QStringLiteral("1000123456"));
    EXPECT_EQ(Trim(Decipher(db.scalar(QStringLiteral("select a from xxb")), StoreKey)),
              QStringLiteral("mm_12345678_0_0"));
    EXPECT_EQ(Trim(Decipher(db.scalar(QStringLiteral("select b from xxb")), StoreKey)),
              QStringLiteral("1000123456"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有: 0 条记录"));
    EXPECT_EQ(requestsWith(QStringLiteral("/Ver/Ver10.html")), 1);
}

TEST_F(FavoritesWindow, VersionPageIsRequestedUntilBothIdsAreStored)
{
    start();
    EXPECT_EQ(window->state().TaobaoPid, QStringLiteral("mm_12345678_0_0"));
    EXPECT_EQ(window->state().JdUnionId, QStringLiteral("1000123456"));
    window.reset();
    server().clearLog();

    window = std::make_unique<Tfrmkova>();
    window->show();
    EXPECT_TRUE(window->findChildren<Tfrmsc*>().isEmpty());
    EXPECT_EQ(window->state().TaobaoPid, QStringLiteral("mm_12345678_0_0"));
    // A version page asked for at start would reach the server in this window.
    test::settle(200);
    EXPECT_EQ(requestsWith(QStringLiteral("version ")), 0);
}

TEST_F(FavoritesWindow, AuxiliaryWindowReadsOnceAndFreesItselfAlsoAfterAFailure)
{
    start();
    QPointer<Tfrmsc> aux = new Tfrmsc(Tfrmsc::Purpose::Favorites, window.get());
    EXPECT_EQ(frmsc.data(), aux.data());
    int reads = 0;
    aux->setReader([&reads](Tfrmsc&) {
        ++reads;
        throw Error(QStringLiteral("读取失败"));
    });
    aux->show();
    expectNeverMapped(aux);
    aux->WebBrowser1.Navigate(Requests().listFavorites(QStringLiteral("x"), QStringLiteral("y")));
    ASSERT_TRUE(waitUntil([this] { return auxiliaryWindowsGone(); }, 10000));
    EXPECT_TRUE(aux.isNull());
    EXPECT_EQ(reads, 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front().text, QStringLiteral("读取失败"));
}

class FavoritesGrid : public FavoritesWindow {
protected:
    void SetUp() override
    {
        FavoritesWindow::SetUp();
        start();
        addFavorites(QStringLiteral("test3"), {1, 2, 3});
        runList(window->ui.btn2);
        ASSERT_EQ(rowCount(), 3);
        server().clearLog();
        messages.clear();
    }
    DBGridEh* grid() const { return window->ui.DBGridEh2; }
    void select(int row) { window->ADOQuery3.setRecNo(row + 1); }
    QPoint cellCentre(int row, int col) const
    {
        grid()->scrollTo(grid()->datasetModel()->index(row, col));
        return grid()->cellRect(row, col).center();
    }
    // A click on the current row's picture with the pointer on it, then the wait for the
    // large picture's download to end.
    void clickPicture()
    {
        const int row = window->ADOQuery3.recNo() - 1;
        QCursor::setPos(grid()->viewport()->mapToGlobal(cellCentre(row, 0)));
        emit grid()->CellClick(0);
        EXPECT_TRUE(waitUntil([this] { return !window->previewPending(); }, 10000));
    }
    bool deleteRequested(const QString& ufid)
    {
        return waitUntil(
            [&] { return requestsWith(QStringLiteral("&uf=") + ufid + QStringLiteral(" 200")) == 1; }, 10000);
    }
};

TEST_F(FavoritesGrid, DeleteWithOkTellsTheServiceAndDropsTheRow)
{
    select(1);
    const QString ufid = field(1, "ufid");
    const QPoint at = cellCentre(1, 7);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front().kind, Message::Kind::Question);
    EXPECT_EQ(messages.front().caption, QStringLiteral("提示"));
    EXPECT_EQ(messages.front().text, DeleteQuestion);
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 2);
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有: 2 条记录"));
    EXPECT_TRUE(deleteRequested(ufid));

    // The service agrees: a new fetch shows the two left.
    runList(window->ui.btn3);
    runList(window->ui.btn2);
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(FavoritesGrid, KeysTypedIntoTheActionCellsChangeNothingAndClicksStillAct)
{
    const QString ufid = field(1, "ufid");
    for (const char* name : {"bz1", "jjcj", "bz2"}) {
        SCOPED_TRACE(name);
        const int column = grid()->columnOfField(QString::fromLatin1(name));
        ASSERT_GE(column, 0);
        const QString stored = QStringLiteral("select coalesce(%1, '<null>') from scnr where ufid='%2'")
                                   .arg(QLatin1String(name), ufid);
        const QString before = db.scalar(stored);
        test::typeIntoCell(grid(), grid()->datasetModel()->index(1, column), QStringLiteral("xyz"));
        EXPECT_EQ(db.scalar(stored), before);
        EXPECT_EQ(field(1, name), before == QStringLiteral("<null>") ? QString() : before);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(rowCount(), 3);

    // The cells still act on a click: the comparison opens, the delete is asked for.
    select(1);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(1, 2));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].toString().contains(QStringLiteral("/list.aspx?k=")))
        << opened[0].toString().toStdString();
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(1, 7));
    EXPECT_EQ(messagesWith(DeleteQuestion), 1);
    EXPECT_TRUE(deleteRequested(ufid));
}

TEST_F(FavoritesGrid, CancelAndEmptyIdChangeNothing)
{
    answer = false;
    select(0);
    window->DBGridEh2CellClick(7);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(rowCount(), 3);

    answer = true;
    messages.clear();
    db.exec(QStringLiteral("update scnr set ufid = '  ' where ufid = '%1'").arg(field(0, "ufid")));
    window->ADOQuery3.open();
    select(0);
    ASSERT_TRUE(field(0, "ufid").trimmed().isEmpty());
    window->DBGridEh2CellClick(7);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(rowCount(), 3);
    // A delete request for either click would reach the server in this window.
    test::settle(200);
    EXPECT_EQ(requestsWith(QStringLiteral("/OpFav.aspx")), 0);
}

TEST_F(FavoritesGrid, CtrlDeleteDeletesAtTheServiceAndTheLastRowLeavesZero)
{
    std::vector<QString> ids;
    for (int row = 0; row < 3; ++row)
        ids.push_back(field(row, "ufid"));
    for (int left = 3; left > 0; --left) {
        select(0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
        QApplication::sendEvent(grid(), &press);
        EXPECT_EQ(rowCount(), left - 1);
    }
    EXPECT_EQ(messagesWith(DeleteQuestion), 3);
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有: 0 条记录"));
    // Deleted one after another: none of the requests was cut off by the next.
    for (const QString& ufid : ids)
        EXPECT_TRUE(deleteRequested(ufid)) << ufid.toStdString();
    EXPECT_EQ(messagesWith(DeleteQuestion), static_cast<int>(messages.size()));
}

// The main page loader carries both searches and deletes; neither cuts the other off.
TEST_F(FavoritesGrid, DeleteDuringASearchAndASearchDuringADeleteAreBothDone)
{
    const QString first = field(0, "ufid");
    const QString second = field(1, "ufid");
    window->ui.edt_key->setText(QStringLiteral("test5"));
    window->suiButton4Click(); // the search page is on its way
    ASSERT_EQ(window->wbwebbPurpose(), NavigationPurpose::Search);
    select(0);
    window->deleteFavorite(); // Ctrl+Delete in the list still open
    EXPECT_EQ(window->wbwebbPurpose(), NavigationPurpose::Search);
    ASSERT_TRUE(waitUntil([this] { return db.count(QStringLiteral("cxnr")) == 5; }, 10000));
    EXPECT_TRUE(deleteRequested(first));
    ASSERT_TRUE(waitUntil([this] { return window->wbwebbPurpose() == NavigationPurpose::None; }, 10000));

    // Back in the results, a delete still going out and a search made meanwhile.
    select(0);
    window->deleteFavorite();
    ASSERT_EQ(window->wbwebbPurpose(), NavigationPurpose::DeleteFavorite);
    window->ui.edt_key->setText(QStringLiteral("test3"));
    window->suiButton4Click();
    EXPECT_EQ(window->wbwebbWaiting(), 1);
    EXPECT_TRUE(deleteRequested(second));
    ASSERT_TRUE(waitUntil([this] { return db.count(QStringLiteral("cxnr")) == 3; }, 10000));
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(messagesWith(DeleteQuestion), static_cast<int>(messages.size()));
}

TEST_F(FavoritesGrid, DeleteThatCannotReachTheServiceIsReported)
{
    hosts.pointAt(test::ClosedHost, server().versionUrl(), server().directoryUrl());
    select(2);
    window->DBGridEh2CellClick(7);
    EXPECT_EQ(rowCount(), 2);
    ASSERT_TRUE(waitUntil([this] { return messages.size() == 2; }, 10000));
    EXPECT_EQ(messages[1].caption, QStringLiteral("提示"));
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("再次出现"))) << messages[1].text.toStdString();
}

TEST_F(FavoritesGrid, DeleteInNoticesCountsNotices)
{
    server().dropPricesNow();
    runList(window->ui.btn3);
    ASSERT_EQ(rowCount(), 3);
    select(0);
    window->DBGridEh2CellClick(7);
    EXPECT_EQ(status(), QStringLiteral("您收藏的商品共有降价通知: 2 条记录"));
}

TEST_F(FavoritesGrid, LinksAndComparisonOpenInTheBrowser)
{
    select(2);
    window->DBGridEh2CellClick(1);
    window->DBGridEh2CellClick(2);
    window->DBGridEh2CellClick(3); // time saved: nothing
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl(field(2, "cplj")));
    EXPECT_TRUE(opened[1].toString().contains(QStringLiteral("/list.aspx?k=")))
        << opened[1].toString().toStdString();
    EXPECT_EQ(opened[1].host(), QUrl(server().serviceUrl()).host());
}

TEST_F(FavoritesGrid, PreviewPlacementFollowsThePointer)
{
    ASSERT_EQ(window->height(), 700);
    select(0);
    const QString path = PictureCache(window->state().TempDir).largePicturePath(field(0, "cph"));
    EXPECT_FALSE(QFileInfo::exists(path));

    window->DBGridEh2MouseMove(QPoint(5, 450));
    clickPicture();
    EXPECT_TRUE(window->ui.BigPanel->isVisible());
    EXPECT_EQ(window->ui.BigPanel->y(), 330);
    EXPECT_EQ(window->ui.BigPanel->x(), 83);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);

    window->DBGridEh2MouseMove(QPoint(5, 200));
    clickPicture();
    EXPECT_EQ(window->ui.BigPanel->y(), 170);
    EXPECT_EQ(requestsWith(QStringLiteral("_b.jpg")), 1); // the second time from the cache
    EXPECT_TRUE(messages.empty());
}

TEST_F(FavoritesGrid, PointerOverCellsSetsTheCursorAndHidesThePreview)
{
    select(0);
    clickPicture();
    ASSERT_TRUE(window->ui.BigPanel->isVisible());
    const QPoint offset = grid()->viewport()->geometry().topLeft();

    // Over the picture column nothing changes.
    window->DBGridEh2MouseMove(cellCentre(1, 0) + offset);
    EXPECT_TRUE(window->ui.BigPanel->isVisible());
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);

    window->DBGridEh2MouseMove(cellCentre(1, 1) + offset);
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
    EXPECT_FALSE(window->ui.BigPanel->isVisible());

    window->DBGridEh2MouseMove(cellCentre(1, 4) + offset);
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);
    window->DBGridEh2MouseMove(cellCentre(0, 7) + offset);
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);

    // Over the title row: the cursor stays.
    window->DBGridEh2MouseMove(QPoint(cellCentre(0, 4).x() + offset.x(), 5));
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Hand);
}

TEST_F(FavoritesGrid, UndecodableLargePictureIsReportedAndRemoved)
{
    select(1);
    const QString path = PictureCache(window->state().TempDir).largePicturePath(field(1, "cph"));
    QFile broken(path);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<html>not a picture</html>");
    broken.close();
    window->DBGridEh2MouseMove(QPoint(5, 200));
    clickPicture();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front().kind, Message::Kind::Error);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(window->ui.BigPanel->isVisible());
    EXPECT_EQ(CurrentScreenCursor(), ScreenCursor::Default);

    // The next click downloads it anew.
    clickPicture();
    EXPECT_TRUE(window->ui.BigPanel->isVisible());
    EXPECT_EQ(messages.size(), 1u);
}

} // namespace
