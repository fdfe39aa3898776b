#include "app/Uzjm.h"

#include "app/PriceFeatures.h"
#include "favorites/FavoritesGridActions.h"
#include "favorites/Usc.h"
#include "service/Requests.h"
#include "store/Error.h"
#include "store/PictureCache.h"
#include "store/PlainText.h"
#include "store/SettingsRecord.h"
#include "ui/DBGridEh.h"
#include "ui/Messages.h"
#include "ui/ShownText.h"
#include "ui/Skin.h"
#include "ui/SkinFrame.h"
#include "ui/StatusBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QScopeGuard>

namespace kova {

Tfrmkova* frmkova = nullptr;

namespace {

QString programFolder()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

Tfrmkova::Tfrmkova(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ADOConnection1(QStringLiteral("kvdb.dat")),
      ADOQuery1(ADOConnection1), ADOQuery2(ADOConnection1), ADOQuery3(ADOConnection1),
      ADOQuery4(ADOConnection1), qry1(ADOConnection1), qry2(ADOConnection1), qry3(ADOConnection1)
{
    frmkova = this;
    installMessageBoxes();
    setObjectName(QStringLiteral("frmkova"));
    setWindowTitle(DesignCaption);

    // The connection is open from construction on; a failure ends the program.
    ADOConnection1.open();
    ADOQuery1.setSql(QStringLiteral("select * from word"));
    ADOQuery2.setSql(QStringLiteral("select * from cxnr order by jg"));
    ADOQuery3.setSql(QStringLiteral("select * from scnr order by scsj"));
    ADOQuery4.setSql(QStringLiteral("select * from cxnr order by jg"));
    qry1.setSql(QStringLiteral("select * from tpb"));
    qry2.setSql(QStringLiteral("select * from tpb"));
    qry3.setSql(QStringLiteral("select * from tpb"));

    IdHTTP = std::make_unique<HttpClient>();
    wbwebb.setTraced(true);

    ui.setupUi(this);
    ui.DBGridEh1->setDataset(&ADOQuery2);
    ui.DBGridEh2->setDataset(&ADOQuery3);
    wireLayoutHandlers();
    wireSearchHandlers();
    wireResultHandlers();
    wireFavoriteHandlers();
    m_priceFeatures = std::make_unique<PriceFeatures>(*this);
    connect(&wbwebb, &PageLoader::DocumentComplete, this,
            [this] { Guarded([this] { wbwebbDocumentComplete(); }); });

    Guarded([this] { FormCreate(); });
}

Tfrmkova::~Tfrmkova()
{
    for (auto& fetcher : m_fetchers)
        fetcher->requestStop();
    if (m_favoritesFetcher)
        m_favoritesFetcher->requestStop();
    m_fetchers.clear();
    m_favoritesFetcher.reset();
    m_previewDownload.reset();
    if (frmkova == this)
        frmkova = nullptr;
}

void Tfrmkova::FormCreate()
{
    m_state.ListMode = ListMode::None;
    m_state.AppDir = programFolder();
    ui.suiToolBar1->setTransparent(true);
    // The skin's failure is reported; the tool bar is made transparent again either way.
    try {
        applySkin();
    } catch (...) {
        ui.suiToolBar1->setTransparent(true);
        throw;
    }
    ui.suiToolBar1->setTransparent(true);
}

void Tfrmkova::applySkin()
{
    const QString path = m_state.AppDir + QStringLiteral("kova.sui");
    QFile skin(path);
    if (!skin.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取皮肤文件 %1：%2").arg(path, skin.errorString()));
    ApplySkinStyleSheet(path, QString::fromUtf8(skin.readAll()));
}

void Tfrmkova::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    Guarded([this] { FormShow(); });
}

void Tfrmkova::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Guarded([this] { FormResize(); });
}

void Tfrmkova::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void Tfrmkova::FormShow()
{
    reopenDatabase();
    resize(1020, 700); // runs the resize step
    initialiseState();
    showStartPage();
    clearResults();
    SettingsRecord settings(qry2);
    settings.openOrCreate();
    m_state.VersionCode = settings.versionCode();
    showVersionCaption();

    QStringList damage;
    readAccount(settings, damage);
    readAffiliateIds(settings, damage);
    if (!damage.isEmpty())
        ShowError(damage.join(QLatin1Char('\n')));
}

void Tfrmkova::reopenDatabase()
{
    for (Dataset* q : {&ADOQuery1, &ADOQuery2, &ADOQuery3, &ADOQuery4, &qry1, &qry2, &qry3})
        q->close();
    ADOConnection1.close();
    ADOConnection1.open();
    for (Dataset* q : {&ADOQuery1, &ADOQuery2, &ADOQuery3, &qry1, &qry2, &qry3})
        q->open();
}

void Tfrmkova::initialiseState()
{
    m_state.ListMode = ListMode::Results;
    m_state.VersionCode = QStringLiteral("10");
    m_state.TaobaoPid.clear();
    m_state.JdUnionId.clear();
    m_state.AccountReplyExpected = true;
    m_state.TempDir = GetTempDirectory();
    // A folder that cannot be had costs the pictures only: the start goes on.
    PictureCache(m_state.TempDir).prepareFolder();
}

void Tfrmkova::showStartPage()
{
    ui.pan01->setVisible(false);
    ui.pan02->setVisible(false);
    ui.pan03->setVisible(true);
    for (DBGridEh* grid : {ui.DBGridEh1, ui.DBGridEh2}) {
        grid->setFixedColor(GridFixedColor);
        grid->setTitleFontColor(GridTitleFontColor);
    }
    ui.StatusBar1->setPanelText(0, StartStatusText);
}

void Tfrmkova::clearResults()
{
    // Results never survive a restart.
    if (ADOQuery2.recordCount() > 0) {
        qry1.setSql(QStringLiteral("delete from cxnr"));
        qry1.execute();
    }
    ADOQuery2.close();
    ADOQuery2.open();
    qry1.close();
    qry1.setSql(QStringLiteral("select * from tpb"));
    qry1.open();
}

void Tfrmkova::showVersionCaption()
{
    if (m_state.VersionCode.size() != 2)
        return;
    const QString caption = QStringLiteral(" Kova比价软件 V%1.%2 （Tavi版）")
                                .arg(m_state.VersionCode.at(0))
                                .arg(m_state.VersionCode.at(1));
    // The version comes from a page: shown as the text it is.
    setWindowTitle(PlainWindowTitle(caption));
    ui.suiForm1->setCaption(StripBidiControls(caption));
}

namespace {

// A pair of the settings record that does not decipher is cleared, so that it is fetched
// again, and the user is told why.
SettingsRecord::Pair readOrClearPair(SettingsRecord& settings, const QString& first, const QString& second,
                                     const QString& damagedText, QStringList& damage)
{
    SettingsRecord::Pair pair = settings.readPair(first, second);
    if (pair.state == SettingsRecord::Pair::State::Damaged) {
        settings.clearPair(first, second);
        damage.append(damagedText);
    }
    return pair;
}

} // namespace

void Tfrmkova::readAccount(SettingsRecord& settings, QStringList& damage)
{
    const auto account =
        readOrClearPair(settings, QStringLiteral("u"), QStringLiteral("p"),
                        QStringLiteral("设置记录中保存的用户帐号已损坏，已清除并将重新申请。"), damage);
    if (account.state == SettingsRecord::Pair::State::Ok) {
        takeAccount({account.first, account.second});
        return;
    }
    mmo1.clear();
    navigate(NavigationPurpose::AccountRequest, [] { return Requests().randomUser(); });
}

void Tfrmkova::readAffiliateIds(SettingsRecord& settings, QStringList& damage)
{
    const auto affiliate =
        readOrClearPair(settings, QStringLiteral("a"), QStringLiteral("b"),
                        QStringLiteral("设置记录中保存的联盟编号已损坏，已清除并将重新获取。"), damage);
    if (affiliate.state == SettingsRecord::Pair::State::Ok) {
        m_state.TaobaoPid = affiliate.first;
        m_state.JdUnionId = affiliate.second;
        return;
    }
    auto* aux = new Tfrmsc(Tfrmsc::Purpose::VersionPage, this);
    aux->show();
    aux->Memo1.clear();
    aux->WebBrowser1.Navigate(Requests().versionPage(m_state.VersionCode));
}

void Tfrmkova::takeAccount(const Account& account)
{
    m_state.UserId = account.userId;
    m_state.UserPassword = account.password;
}

void Tfrmkova::navigate(NavigationPurpose purpose, std::function<QString()> address, QString tag)
{
    if (const auto now = m_navigations.request({purpose, std::move(address), std::move(tag)}))
        wbwebb.Navigate(now->url);
}

void Tfrmkova::startNext()
{
    if (const auto next = m_navigations.next())
        wbwebb.Navigate(next->url);
}

void Tfrmkova::wbwebbDocumentComplete()
{
    const NavigationQueue::Navigation done = m_navigations.complete();
    const bool failed = wbwebb.lastLoadFailed();
    wbwebb.readDocumentInto(mmo1);
    if (done.purpose == NavigationPurpose::AccountRequest) {
        // A search waiting behind the account request goes out with the account it brings.
        auto sendNext = qScopeGuard([this] { startNext(); });
        readResultPage(true);
        return;
    }
    // The next request does not wait for the reading (nor for a message box it shows).
    startNext();
    switch (done.purpose) {
    case NavigationPurpose::Search:
        readResultPage(false);
        break;
    case NavigationPurpose::DeleteFavorite:
        if (!failed)
            wbwebbFavoriteDeleteComplete(done.tag);
        else
            ShowInfo(DeleteNotDeliveredText);
        break;
    case NavigationPurpose::AccountRequest:
    case NavigationPurpose::None:
        break;
    }
}

void Tfrmkova::FormClose()
{
    // Closing the main window ends the program with every other window.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != this && w->isVisible())
            w->close();
    }
    QCoreApplication::quit();
}

void Tfrmkova::btn10Click()
{
    close();
}

} // namespace kova
