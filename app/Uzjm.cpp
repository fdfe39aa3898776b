#include "app/Uzjm.h"

#include "store/SettingsRecord.h"
#include "favorites/Usc.h"
#include "service/Requests.h"
#include "store/Error.h"
#include "store/PictureCache.h"
#include "ui/DBGridEh.h"
#include "ui/Messages.h"
#include "ui/SkinFrame.h"
#include "ui/StatusBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>

namespace kova {

Tfrmkova* frmkova = nullptr;

namespace {

const QColor FixedCellColor(166, 202, 240);
const QColor TitleFontColor(255, 0, 255);

QString programFolder()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

Tfrmkova::Tfrmkova(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      ADOConnection1(QStringLiteral("kvdb.dat")),
      ADOQuery1(ADOConnection1),
      ADOQuery2(ADOConnection1),
      ADOQuery3(ADOConnection1),
      ADOQuery4(ADOConnection1),
      qry1(ADOConnection1),
      qry2(ADOConnection1),
      qry3(ADOConnection1)
{
    frmkova = this;
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

    ui.setupUi(this);
    ui.DBGridEh1->setDataset(&ADOQuery2);
    ui.DBGridEh2->setDataset(&ADOQuery3);
    wireLayoutHandlers();
    wireSearchHandlers();
    wireResultHandlers();
    wireFavoriteHandlers();
    connect(&wbwebb, &PageLoader::DocumentComplete, this, [this] { Guarded([this] { wbwebbDocumentComplete(); }); });

    Guarded([this] { FormCreate(); });
}

Tfrmkova::~Tfrmkova()
{
    for (auto& fetcher : m_fetchers)
        fetcher->requestStop();
    m_fetchers.clear();
    if (frmkova == this)
        frmkova = nullptr;
}

void Tfrmkova::FormCreate()
{
    m_state.ListMode = 0;
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
    qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
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
    // 1-2: reopen the connection and the query objects.
    for (Dataset* q : {&ADOQuery1, &ADOQuery2, &ADOQuery3, &ADOQuery4, &qry1, &qry2, &qry3})
        q->close();
    ADOConnection1.close();
    ADOConnection1.open();
    for (Dataset* q : {&ADOQuery1, &ADOQuery2, &ADOQuery3, &qry1, &qry2, &qry3})
        q->open();

    // 3: the outer size (runs the resize step).
    resize(1020, 700);

    // 4-6: program-wide state and the picture cache folder.
    m_state.ListMode = 1;
    m_state.VersionCode = QStringLiteral("10");
    m_state.TaobaoPid.clear();
    m_state.JdUnionId.clear();
    m_state.AccountReplyExpected = true;
    m_state.TempDir = GetTempDirectory();
    PictureCache(m_state.TempDir).ensureFolder();

    // 7-9: the start page, grid colours, status text.
    ui.pan01->setVisible(false);
    ui.pan02->setVisible(false);
    ui.pan03->setVisible(true);
    for (DBGridEh* grid : {ui.DBGridEh1, ui.DBGridEh2}) {
        grid->setFixedColor(FixedCellColor);
        grid->setTitleFontColor(TitleFontColor);
    }
    ui.StatusBar1->setPanelText(0, QStringLiteral("货比三家，比价帮助您更省钱、省事！"));

    // 10: results never survive a restart.
    if (ADOQuery2.recordCount() > 0) {
        qry1.setSql(QStringLiteral("delete from cxnr"));
        qry1.execute();
    }
    ADOQuery2.close();
    ADOQuery2.open();

    // 11: picture records.
    qry1.close();
    qry1.setSql(QStringLiteral("select * from tpb"));
    qry1.open();

    // 12-13: the settings record and the version.
    SettingsRecord settings(qry2);
    settings.openOrCreate();
    m_state.VersionCode = settings.versionCode();

    // 14: caption.
    if (m_state.VersionCode.size() == 2) {
        const QString caption = QStringLiteral(" Kova比价软件 V%1.%2 （Tavi版）")
                                    .arg(m_state.VersionCode.at(0))
                                    .arg(m_state.VersionCode.at(1));
        setWindowTitle(caption);
        ui.suiForm1->setCaption(caption);
    }

    // 15: the account; a damaged pair is cleared so that it is requested again.
    const Requests requests;
    auto account = settings.readPair(QStringLiteral("u"), QStringLiteral("p"));
    QString damage;
    if (account.state == SettingsRecord::Pair::State::Damaged) {
        settings.clearPair(QStringLiteral("u"), QStringLiteral("p"));
        damage = QStringLiteral("设置记录中保存的用户帐号已损坏，已清除并将重新申请。");
    }
    if (account.state == SettingsRecord::Pair::State::Ok) {
        m_state.UserId = account.first;
        m_state.UserPassword = account.second;
    } else {
        mmo1.clear();
        wbwebb.Navigate(requests.randomUser());
    }

    // 16: the affiliate ids, else the version page through an auxiliary window.
    auto affiliate = settings.readPair(QStringLiteral("a"), QStringLiteral("b"));
    if (affiliate.state == SettingsRecord::Pair::State::Damaged) {
        settings.clearPair(QStringLiteral("a"), QStringLiteral("b"));
        if (!damage.isEmpty())
            damage += QLatin1Char('\n');
        damage += QStringLiteral("设置记录中保存的联盟编号已损坏，已清除并将重新获取。");
    }
    if (affiliate.state == SettingsRecord::Pair::State::Ok) {
        m_state.TaobaoPid = affiliate.first;
        m_state.JdUnionId = affiliate.second;
    } else {
        auto* aux = new Tfrmsc(Tfrmsc::Purpose::VersionPage, this);
        aux->show();
        aux->Memo1.clear();
        aux->WebBrowser1.Navigate(requests.versionPage(m_state.VersionCode));
    }
    if (!damage.isEmpty())
        ShowError(damage);
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
