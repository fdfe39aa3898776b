// The price history, verdicts, chart, export and desktop alerts in the real main window,
// against the stand-in server on loopback; the alerts go to a small fake notification
// service on a private session bus (dbus-daemon started by the test).
#include "app/PriceFeatures.h"
#include "favorites/DesktopNotifier.h"
#include "favorites/PriceDrops.h"
#include "server/Catalogue.h"
#include "service/HttpClient.h"
#include "store/AlertPreferences.h"
#include "store/Money.h"
#include "store/PriceVerdict.h"
#include "tests/support/WindowFixture.h"
#include "ui/DBGridEh.h"
#include "ui/PriceChartWindow.h"
#include "ui/SettingsWindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QWindow>

#include <csignal>
#include <sys/resource.h>

namespace kova {
namespace {

using standin::Catalogue;
using test::waitUntil;

// The desktop's notification service as far as Kova uses it. Its capabilities name no
// body markup unless told; `capabilitiesFail` makes GetCapabilities an error.
class FakeNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString summary;
        QString body;
        QStringList actions;
    };
    std::vector<Call> calls;
    uint lastId = 0;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    bool capabilitiesFail = false;
    int capabilityCalls = 0;

public slots:
    QStringList GetCapabilities()
    {
        ++capabilityCalls;
        if (capabilitiesFail)
            sendErrorReply(QDBusError::NotSupported, QStringLiteral("no capabilities today"));
        return capabilities;
    }
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        calls.push_back({summary, body, actions});
        return ++lastId;
    }

signals:
    void ActionInvoked(uint id, const QString& action);
};

// A session bus of the test's own.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString& name : m_names)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    const QString& address() const { return m_address; }
    QDBusConnection connect(const QString& name)
    {
        m_names << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

class PriceFeaturesTest : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // Preferences go to the test's folder, never to the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           db.folder() + QStringLiteral("/config"));
    }

    PriceFeatures& features() { return *window->priceFeatures(); }
    DBGridEh& results() { return *window->ui.DBGridEh1; }
    DBGridEh& favorites() { return *window->ui.DBGridEh2; }

    QString historyRow(const QString& cph) const
    {
        return db.scalar(
            QStringLiteral("select low || '/' || high || '/' || last || '/' || seen from price_history "
                           "where cph = '%1'")
                .arg(cph));
    }
    void addFavorites(const QString& keyword, const std::vector<int>& rows)
    {
        HttpClient http;
        const Requests requests;
        const QString u = window->state().UserId;
        const QString p = window->state().UserPassword;
        http.get(requests.listAll(keyword, u, p));
        for (int row : rows)
            http.get(requests.addFavorite(u, p, QString::number(row)));
    }
    QAction* action(QMenu* menu, const QString& text)
    {
        for (QAction* a : menu->actions()) {
            if (a->text() == text)
                return a;
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }
    // Waits until a price-drop check has asked the service and been read.
    void waitForCheck(int checksBefore)
    {
        ASSERT_TRUE(waitUntil(
            [&] {
                return requestsWith(QStringLiteral("d=down")) > checksBefore &&
                       !features().dropLoader().isLoading();
            },
            10000));
    }
};

QString fen(const QString& price)
{
    return QString::number(*PriceInFen(price));
}

TEST_F(PriceFeaturesTest, TwoSearchesOnOneDayKeepLowHighLastAndSightings)
{
    start();
    search(QStringLiteral("test5"));
    server.setPriceDay(1);
    search(QStringLiteral("test5"));
    window->priceHistory()->flush();

    const QList<standin::Offer> offers = Catalogue::offers(QStringLiteral("test5"));
    ASSERT_EQ(offers.size(), 5);
    ASSERT_EQ(db.count(QStringLiteral("price_history")), 5);
    for (const standin::Offer& o : offers) {
        const QString first = o.price;
        const QString second = Catalogue::priceOnDay(o.price, o.cph, 1);
        const qint64 a = *PriceInFen(first);
        const qint64 b = *PriceInFen(second);
        EXPECT_EQ(historyRow(o.cph),
                  QStringLiteral("%1/%2/%3/2").arg(std::min(a, b)).arg(std::max(a, b)).arg(b))
            << o.cph.toStdString();
    }

    // The price cell's tool tip judges the price against that history.
    const int price = results().columnOfField(QStringLiteral("jg"));
    const QString tip = features().toolTip(results(), 0, price);
    EXPECT_TRUE(tip.startsWith(QStringLiteral("记录不足\n历史最低 ￥"))) << tip.toStdString();
    EXPECT_TRUE(tip.endsWith(QStringLiteral(" · 共记录 1 天"))) << tip.toStdString();
    EXPECT_TRUE(features().toolTip(results(), 0, results().columnOfField(QStringLiteral("cpmc"))).isEmpty());
}

TEST_F(PriceFeaturesTest, AnOlderFileGetsTheHistoryAtStart)
{
    db.exec(QStringLiteral("drop table price_history"));
    db.exec(QStringLiteral("drop table price_alert"));
    start();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(window->priceHistory()->isOn());
    search(QStringLiteral("test3"));
    window->priceHistory()->flush();
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 3);
    EXPECT_EQ(db.count(QStringLiteral("price_alert")), 0);
}

TEST_F(PriceFeaturesTest, AFileThatCannotTakeTheHistoryIsReportedOnceAndKovaGoesOn)
{
    // An index holds the table's name: the upgrade at start cannot make the table.
    db.exec(QStringLiteral("drop table price_history"));
    db.exec(QStringLiteral("create index price_history on word (word)"));
    start();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("价格记录无法保存：")))
        << messages[0].text.toStdString();
    EXPECT_FALSE(window->priceHistory()->isOn());
    search(QStringLiteral("test3"));
    window->priceHistory()->flush();
    EXPECT_EQ(window->ADOQuery2.recordCount(), 3);
    EXPECT_EQ(messages.size(), 1u) << "reported once";
    EXPECT_TRUE(features().toolTip(results(), 0, results().columnOfField(QStringLiteral("jg"))).isEmpty());
}

TEST_F(PriceFeaturesTest, AFailedLoadAddsNothing)
{
    start();
    hosts.pointAt(test::ClosedHost, test::ClosedHost, test::ClosedHost);
    search(QStringLiteral("test5"));
    window->priceHistory()->flush();
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 0);
}

TEST_F(PriceFeaturesTest, AFavoritesListAddsTheCurrentPrices)
{
    start();
    addFavorites(QStringLiteral("test3"), {1, 3});
    server.dropPricesNow();
    window->btn2Click();
    ASSERT_TRUE(waitUntil([this] { return window->ADOQuery3.recordCount() == 2; }, 10000));
    window->priceHistory()->flush();
    for (const int bh : {1, 3}) {
        const standin::Offer o = *Catalogue::offer(QStringLiteral("test3"), bh);
        const QString now = fen(Catalogue::currentPrice(o.price, o.cph, 1));
        EXPECT_EQ(historyRow(o.cph), QStringLiteral("%1/%1/%1/1").arg(now)) << bh;
    }
    EXPECT_EQ(db.count(QStringLiteral("price_history")), 2);
}

TEST_F(PriceFeaturesTest, MenuCopiesTheLinkShowsTheChartAndExportsTheRowsAsListed)
{
    start();
    search(QStringLiteral("test6"));
    // Sorted by price, highest first: the export follows the grid.
    window->DBGridEh1TitleBtnClick(results().columnOfField(QStringLiteral("jg")));

    QAction* copy = action(features().gridMenu(results(), 1), QStringLiteral("复制商品链接"));
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    const Dataset& rows = window->ADOQuery2;
    const int link = indexOfField(rows.fieldNames(), QStringLiteral("cplj"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), rows.fieldAt(1, link).toString());

    QAction* chart = action(features().gridMenu(results(), 0), QStringLiteral("价格走势…"));
    ASSERT_NE(chart, nullptr);
    chart->trigger();
    const auto charts = window->findChildren<PriceChartWindow*>();
    ASSERT_EQ(charts.size(), 1);
    EXPECT_EQ(charts[0]->days().size(), 1u);
    EXPECT_TRUE(charts[0]->verdict().startsWith(QStringLiteral("记录不足")))
        << charts[0]->verdict().toStdString();
    EXPECT_FALSE(action(features().gridMenu(results(), -1), QStringLiteral("价格走势…"))->isEnabled());

    const QString path = db.folder() + QStringLiteral("/out.csv");
    QString suggested;
    features().setSavePathChooser([&](const QString& s) { return suggested = s, path; });
    action(features().gridMenu(results(), 0), QStringLiteral("导出为 CSV…"))->trigger();
    EXPECT_TRUE(suggested.endsWith(QStringLiteral("/Kova-test6-") +
                                   QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                                   QStringLiteral(".csv")))
        << suggested.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines =
        QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0],
              QStringLiteral("商品名称,精准,优惠,价格,人气,商家,正品,推荐等级,收藏,商品地址,图片地址"));
    qint64 previous = PriceFenLimit;
    for (int r = 0; r < 6; ++r) {
        const QString price =
            rows.fieldAt(r, indexOfField(rows.fieldNames(), QStringLiteral("jg"))).toString();
        EXPECT_TRUE(lines[r + 1].contains(QLatin1Char(',') + price + QLatin1Char(','))) << r;
        EXPECT_TRUE(lines[r + 1].endsWith(
            rows.fieldAt(r, indexOfField(rows.fieldNames(), QStringLiteral("xtp"))).toString()));
        EXPECT_LE(*PriceInFen(price), previous) << "in the grid's order";
        previous = *PriceInFen(price);
    }

    // A file that cannot be written is reported and nothing else changes.
    features().setSavePathChooser(
        [&](const QString&) { return db.folder() + QStringLiteral("/no/such/folder/x.csv"); });
    messages.clear();
    action(features().gridMenu(favorites(), -1), QStringLiteral("导出为 CSV…"))->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("无法导出到 "))) << messages[0].text.toStdString();
}

// A price the grid draws as "价格未知" gets no verdict, and a name from a page is the chart's
// title as it is: one line, in its own order, markup as text.
TEST_F(PriceFeaturesTest, JunkPricesGetNoVerdictAndTheChartTitleIsTheNameAsText)
{
    start();
    search(QStringLiteral("test3"));
    window->priceHistory()->flush();
    const int price = results().columnOfField(QStringLiteral("jg"));
    ASSERT_FALSE(features().toolTip(results(), 0, price).isEmpty());
    db.exec(QStringLiteral(
        "update cxnr set jg = '-5', cpmc = '<b>粗</b>' || char(8238) || 'gpj.exe' || char(10) || "
        "'[*]'"));
    window->ADOQuery2.open();
    EXPECT_TRUE(features().toolTip(results(), 0, price).isEmpty());
    PriceChartWindow* chart = features().showChart(results(), 0);
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->verdict(), VerdictText(Verdict::TooFewDays));
    ASSERT_NE(chart->windowHandle(), nullptr);
    EXPECT_EQ(chart->windowHandle()->title(), QStringLiteral("价格走势 - <b>粗</b>gpj.exe [*]"));
    chart->close();
}

// While it lives, this process may write only `bytes` into any file, as a full disk
// would allow. The limit is the process's own rather than a child's: a child of the window
// would inherit its threads' locks. It is held only while the export writes its one file.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_handler = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        const rlimit small{bytes, m_before.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_before{};
    void (*m_handler)(int) = SIG_DFL;
};

TEST_F(PriceFeaturesTest, AnExportOntoAFullDiskKeepsTheOldFileAndSaysSo)
{
    start();
    search(QStringLiteral("test6"));
    ASSERT_TRUE(fetchersDone());
    const QString folder = db.folder() + QStringLiteral("/exports");
    const QString path = folder + QStringLiteral("/out.csv");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray old = QStringLiteral("\uFEFF旧的导出,1\r\n").toUtf8();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    features().setSavePathChooser([&](const QString&) { return path; });
    const QString status = window->ui.StatusBar1->panelText(0);
    messages.clear();
    QAction* exportAction = action(features().gridMenu(results(), 0), QStringLiteral("导出为 CSV…"));
    ASSERT_NE(exportAction, nullptr);
    {
        const FileSizeLimit full(512); // the six rows need more than twice that
        exportAction->trigger();
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_TRUE(messages[0].text.startsWith(
        QStringLiteral("无法导出到 %1：磁盘空间不足，文件未能写完").arg(QDir::toNativeSeparators(path))))
        << messages[0].text.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    file.close();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("out.csv")});
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), status) << "no success is reported";

    // With room on the disk the same export goes through.
    action(features().gridMenu(results(), 0), QStringLiteral("导出为 CSV…"))->trigger();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_GT(QFileInfo(path).size(), 1024);
    EXPECT_TRUE(window->ui.StatusBar1->panelText(0).startsWith(QStringLiteral("已导出 6 条记录到 ")));
}

TEST_F(PriceFeaturesTest, SettingsTurnTheChecksOffAndOn)
{
    start();
    ASSERT_TRUE(waitUntil([this] { return features().checksRunning(); }, 10000));
    EXPECT_EQ(features().checkIntervalMs(), 60 * 60 * 1000);
    action(features().gridMenu(favorites(), -1), QStringLiteral("设置…"))->trigger();
    auto* dialog = window->findChild<SettingsWindow*>();
    ASSERT_NE(dialog, nullptr);
    dialog->alertsBox()->setChecked(false);
    dialog->accept();
    EXPECT_FALSE(AlertPreferences::load().enabled);
    EXPECT_FALSE(features().checksRunning());

    AlertPreferences on;
    on.intervalMinutes = 15;
    on.save();
    features().applyPreferences();
    ASSERT_TRUE(waitUntil([this] { return features().checksRunning(); }, 10000));
    EXPECT_EQ(features().checkIntervalMs(), 15 * 60 * 1000);
}

class PriceAlertTest : public PriceFeaturesTest {
protected:
    void SetUp() override
    {
        PriceFeaturesTest::SetUp();
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        service = bus.connect(QStringLiteral("fake-notifications"));
        ASSERT_TRUE(
            service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    // Starts the window with its alerts on the private bus, after its own first check.
    void startOnBus(const QString& name)
    {
        server.clearLog();
        start();
        waitForCheck(0);
        features().setNotificationBus(bus.connect(name));
    }
    QString line(const QString& keyword, int bh, int drops, int dropsBefore)
    {
        const standin::Offer o = *Catalogue::offer(keyword, bh);
        return o.name + QStringLiteral(" ￥") +
               YuanText(*PriceInFen(Catalogue::currentPrice(o.price, o.cph, dropsBefore))) +
               QStringLiteral(" → ￥") +
               YuanText(*PriceInFen(Catalogue::currentPrice(o.price, o.cph, drops)));
    }

    PrivateBus bus;
    QDBusConnection service{QString()};
    FakeNotifications fake;
};

TEST_F(PriceAlertTest, ADropIsAnnouncedOnceAcrossARestartAndAgainAfterAFurtherDrop)
{
    startOnBus(QStringLiteral("kova-1"));
    addFavorites(QStringLiteral("test5"), {1, 2, 3, 4});
    server.dropPricesNow();
    int checks = requestsWith(QStringLiteral("d=down"));
    features().checkPriceDrops();
    ASSERT_TRUE(waitUntil([&] { return fake.calls.size() == 1; }, 10000));
    EXPECT_EQ(fake.calls[0].summary, QStringLiteral("商品降价通知"));
    EXPECT_EQ(fake.calls[0].body, QStringLiteral("4 件收藏商品降价\n") +
                                      line(QStringLiteral("test5"), 1, 1, 0) + QLatin1Char('\n') +
                                      line(QStringLiteral("test5"), 2, 1, 0) + QLatin1Char('\n') +
                                      line(QStringLiteral("test5"), 3, 1, 0));
    EXPECT_TRUE(fake.calls[0].actions.contains(QStringLiteral("default")));
    // The check has its own loader: the stored list and the view stay as they were.
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 0);
    EXPECT_NE(window->state().ListMode, ListMode::PriceDrops);

    // Activating it shows the price-drop view.
    emit fake.ActionInvoked(fake.lastId, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([this] { return window->state().ListMode == ListMode::PriceDrops; }, 10000));
    EXPECT_FALSE(window->ui.btn3->isEnabled());

    // The same drops are not announced again, neither now nor after a restart.
    checks = requestsWith(QStringLiteral("d=down"));
    features().checkPriceDrops();
    waitForCheck(checks);
    window.reset();
    startOnBus(QStringLiteral("kova-2"));
    checks = requestsWith(QStringLiteral("d=down"));
    features().checkPriceDrops();
    waitForCheck(checks);
    test::settle(200); // a notification would be on its way by now
    EXPECT_EQ(fake.calls.size(), 1u);

    // A further drop is announced from the price announced last.
    server.dropPricesNow();
    features().checkPriceDrops();
    ASSERT_TRUE(waitUntil([&] { return fake.calls.size() == 2; }, 10000));
    EXPECT_TRUE(fake.calls[1].body.startsWith(QStringLiteral("4 件收藏商品降价\n") +
                                              line(QStringLiteral("test5"), 1, 2, 1)))
        << fake.calls[1].body.toStdString();
}

TEST_F(PriceAlertTest, WithoutANotificationServiceTheStatusBarTells)
{
    startOnBus(QStringLiteral("kova-3"));
    ASSERT_TRUE(service.unregisterService(QStringLiteral("org.freedesktop.Notifications")));
    addFavorites(QStringLiteral("test3"), {1, 2});
    server.dropPricesNow();
    messages.clear();
    window->ui.StatusBar1->setPanelText(0, QStringLiteral("本次搜索结果有: 3 条记录"));
    int announced = -1;
    bool onDesktop = true;
    QObject::connect(&features(), &PriceFeatures::priceDropsAnnounced, &features(), [&](int n, bool desktop) {
        announced = n;
        onDesktop = desktop;
    });
    features().checkPriceDrops();
    ASSERT_TRUE(waitUntil([&] { return announced >= 0; }, 10000));
    EXPECT_EQ(announced, 2);
    EXPECT_FALSE(onDesktop);
    EXPECT_EQ(window->ui.StatusBar1->panelText(0), QStringLiteral("2 件收藏商品降价"));
    EXPECT_TRUE(messages.empty()) << "no error";
    EXPECT_TRUE(fake.calls.empty());
    // A passing notice: the search's count comes back after a few seconds.
    EXPECT_TRUE(waitUntil(
        [&] { return window->ui.StatusBar1->panelText(0) == QStringLiteral("本次搜索结果有: 3 条记录"); },
        static_cast<int>(StatusBar::PassingTextDuration.count()) + 5000));
}

// The notifier alone against the fake service: what reaches the service of each kind, with a
// name a page may hold.
class NotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        service = bus.connect(QStringLiteral("notifier-service"));
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    // Made on first use; a notice given at once reaches the service before the answer to
    // the capabilities could have.
    DesktopNotifier& notifier()
    {
        if (!m_notifier)
            m_notifier = std::make_unique<DesktopNotifier>(bus.connect(QStringLiteral("notifier-client")));
        return *m_notifier;
    }
    const FakeNotifications::Call& nextCall()
    {
        const size_t before = m_seen++;
        EXPECT_TRUE(waitUntil([&] { return fake.calls.size() > before; }, 10000));
        static const FakeNotifications::Call none;
        return fake.calls.size() > before ? fake.calls[before] : none;
    }

    static inline const QString Name =
        QStringLiteral("<b>粗</b> &amp; <img src=\"/dev/zero\">\u202E逆序\u2066");
    static inline const QString Escaped =
        QStringLiteral("&lt;b&gt;粗&lt;/b&gt; &amp;amp; &lt;img src=\"/dev/zero\"&gt;逆序");
    static inline const QString Plain = QStringLiteral("<b>粗</b> &amp; <img src=\"/dev/zero\">逆序");

    PrivateBus bus;
    QDBusConnection service{QString()};
    FakeNotifications fake;
    std::unique_ptr<DesktopNotifier> m_notifier;
    size_t m_seen = 0;
};

TEST_F(NotifierTest, AServerThatReadsMarkupGetsTheBodyEscapedAndThePlainSummary)
{
    fake.capabilities << QStringLiteral("body-markup");
    notifier().notify(QStringLiteral("商品降价通知 <i>\u202E"), Name);
    const FakeNotifications::Call& call = nextCall();
    EXPECT_EQ(call.body, Escaped);
    EXPECT_EQ(call.summary, QStringLiteral("商品降价通知 <i>"));
    EXPECT_EQ(notifier().bodyMarkup(), DesktopNotifier::BodyMarkup::Read);
    notifier().notify(QStringLiteral("s"), QStringLiteral("a<b"));
    EXPECT_EQ(nextCall().body, QStringLiteral("a&lt;b"));
    EXPECT_EQ(fake.capabilityCalls, 1) << "asked once";
}

TEST_F(NotifierTest, APlainServerGetsTheTextWithoutBidiControls)
{
    notifier().notify(QStringLiteral("s"), Name);
    EXPECT_EQ(nextCall().body, Plain);
    EXPECT_EQ(notifier().bodyMarkup(), DesktopNotifier::BodyMarkup::NotRead);
}

TEST_F(NotifierTest, AServerThatDoesNotTellGetsItEscapedAndIsAskedAgain)
{
    fake.capabilitiesFail = true;
    notifier().notify(QStringLiteral("s"), Name);
    EXPECT_EQ(nextCall().body, Escaped);
    EXPECT_EQ(notifier().bodyMarkup(), DesktopNotifier::BodyMarkup::Unknown);
    fake.capabilitiesFail = false;
    notifier().notify(QStringLiteral("s"), Name);
    EXPECT_EQ(nextCall().body, Plain);
    EXPECT_EQ(fake.capabilityCalls, 2);
}

TEST_F(NotifierTest, WithoutAServiceEachNoticeIsUnavailable)
{
    ASSERT_TRUE(service.unregisterService(QStringLiteral("org.freedesktop.Notifications")));
    int unavailable = 0;
    QObject::connect(&notifier(), &DesktopNotifier::unavailable, &notifier(), [&] { ++unavailable; });
    notifier().notify(QStringLiteral("s"), Name);
    notifier().notify(QStringLiteral("s"), Name);
    EXPECT_TRUE(waitUntil([&] { return unavailable == 2; }, 10000)) << unavailable;
    EXPECT_TRUE(fake.calls.empty());
}

} // namespace
} // namespace kova

#include "PriceFeaturesTests.moc"
