#include "app/PriceFeatures.h"

#include "app/Uzjm.h"
#include "favorites/DesktopNotifier.h"
#include "favorites/PriceDrops.h"
#include "service/PageText.h"
#include "service/Requests.h"
#include "store/AlertPreferences.h"
#include "store/Csv.h"
#include "store/Dataset.h"
#include "store/Error.h"
#include "store/Money.h"
#include "store/PriceVerdict.h"
#include "store/Report.h"
#include "ui/DBGridEh.h"
#include "ui/PriceChartWindow.h"
#include "ui/SettingsWindow.h"
#include "ui/ShownText.h"
#include "ui/StatusBar.h"

#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QToolTip>

namespace kova {
namespace {

constexpr int StartPollMs = 500;

QString rowText(const Dataset& rows, int row, const QString& field)
{
    const int col = indexOfField(rows.fieldNames(), field);
    if (col < 0 || row < 0 || row >= rows.recordCount())
        return {};
    return rows.fieldAt(row, col).toString();
}

bool isResultGrid(const Tfrmkova& window, const DBGridEh& grid)
{
    return &grid == window.ui.DBGridEh1;
}

// The price a row of the grid shows: the offer's price, or the favorite's current price.
QString rowPrice(const Tfrmkova& window, DBGridEh& grid, int row)
{
    const Dataset* rows = grid.dataset();
    if (!rows)
        return {};
    return rowText(*rows, row, isResultGrid(window, grid) ? QStringLiteral("jg") : QStringLiteral("gxjg"));
}

// A price the grid shows as one: a text drawn as "价格未知" gets no verdict.
std::optional<qint64> ShownPriceInFen(const QString& text)
{
    return IsShownPrice(text) ? PriceInFen(text) : std::nullopt;
}

bool isPriceField(const QString& field)
{
    return isField(field, QLatin1String("jg")) || isField(field, QLatin1String("gxjg")) ||
           isField(field, QLatin1String("scjg"));
}

// The columns a spreadsheet may take as numbers: the prices and the popularity.
CsvColumn exportKind(const QString& field)
{
    return isPriceField(field) || isField(field, QLatin1String("rc")) ? CsvColumn::Number : CsvColumn::Text;
}

} // namespace

PriceFeatures::PriceFeatures(Tfrmkova& window)
    : QObject(&window), m_window(window), m_history(window.ADOConnection1)
{
    setObjectName(QStringLiteral("PriceFeatures"));
    // A file that cannot take the history is reported once; the program goes on without.
    try {
        m_history.open();
    } catch (const Error& e) {
        ShowError(e.message());
    }

    for (DBGridEh* grid : {window.ui.DBGridEh1, window.ui.DBGridEh2}) {
        grid->viewport()->installEventFilter(this);
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](QPoint pos) {
            QMenu* menu = gridMenu(*grid, grid->indexAt(pos).row());
            menu->popup(grid->viewport()->mapToGlobal(pos));
        });
    }

    connect(&m_dropLoader, &PageLoader::DocumentComplete, this,
            [this] { Guarded([this] { readDropList(); }); });
    m_startTimer.setInterval(StartPollMs);
    connect(&m_startTimer, &QTimer::timeout, this, &PriceFeatures::waitForAccount);
    connect(&m_checkTimer, &QTimer::timeout, this, &PriceFeatures::checkPriceDrops);
    applyPreferences();
}

PriceFeatures::~PriceFeatures() = default;

PriceHistory* Tfrmkova::priceHistory() const
{
    return m_priceFeatures ? &m_priceFeatures->history() : nullptr;
}

void PriceFeatures::setNotificationBus(const QDBusConnection& bus)
{
    m_notifier = std::make_unique<DesktopNotifier>(bus);
    connect(m_notifier.get(), &DesktopNotifier::sent, this,
            [this] { emit priceDropsAnnounced(m_pendingCount, true); });
    connect(m_notifier.get(), &DesktopNotifier::unavailable, this, [this] {
        m_window.ui.StatusBar1->showPassingText(0, PriceDropCountText(m_pendingCount));
        emit priceDropsAnnounced(m_pendingCount, false);
    });
    connect(m_notifier.get(), &DesktopNotifier::activated, this, [this] {
        m_window.showNormal();
        m_window.raise();
        m_window.activateWindow();
        Guarded([this] { m_window.btn3Click(); });
    });
}

void PriceFeatures::applyPreferences()
{
    const AlertPreferences prefs = AlertPreferences::load();
    m_checkTimer.setInterval(prefs.intervalMinutes * 60 * 1000);
    if (!prefs.enabled) {
        m_startTimer.stop();
        m_checkTimer.stop();
        return;
    }
    // The first check waits for the show step and its first-run pages.
    if (!m_checkTimer.isActive())
        m_startTimer.start();
}

void PriceFeatures::waitForAccount()
{
    const ProgramState& state = m_window.state();
    if (!m_window.shown() || m_window.wbwebb.isLoading() || state.UserId.isEmpty())
        return;
    m_startTimer.stop();
    m_checkTimer.start();
    checkPriceDrops();
}

void PriceFeatures::checkPriceDrops()
{
    const ProgramState& state = m_window.state();
    if (m_dropLoader.isLoading() || state.UserId.isEmpty())
        return;
    m_dropLoader.Navigate(Requests().listPriceDrops(state.UserId, state.UserPassword));
}

void PriceFeatures::readDropList()
{
    PageText page;
    m_dropLoader.readDocumentInto(page);
    const std::vector<PriceDropAlert> alerts =
        NewPriceDrops(ReadListedFavorites(page, m_window.state().UserId), m_history);
    if (alerts.empty())
        return;
    // Remembered before the desktop answers: a drop is announced once, on the desktop or
    // in the status bar.
    RememberAnnounced(alerts, m_history);
    m_pendingCount = static_cast<int>(alerts.size());
    // The session bus is looked for only when there is something to say.
    if (!m_notifier)
        setNotificationBus(QDBusConnection::sessionBus());
    m_notifier->notify(PriceDropSummary, PriceDropBody(alerts));
}

QString PriceFeatures::toolTip(DBGridEh& grid, int row, int col)
{
    const Dataset* rows = grid.dataset();
    if (!rows || col < 0 || col >= grid.columnCountEh() || !isPriceField(grid.column(col).field))
        return {};
    const auto fen = ShownPriceInFen(rowText(*rows, row, grid.column(col).field));
    const QString cph = rowText(*rows, row, QStringLiteral("cph"));
    if (!fen || cph.isEmpty() || !m_history.isOn())
        return {};
    return PriceToolTip(*fen, m_history.days(cph), m_history.today());
}

bool PriceFeatures::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        for (DBGridEh* grid : {m_window.ui.DBGridEh1, m_window.ui.DBGridEh2}) {
            if (watched != grid->viewport())
                continue;
            auto* help = static_cast<QHelpEvent*>(event);
            const QModelIndex index = grid->indexAt(help->pos());
            QString text;
            Guarded([&] { text = toolTip(*grid, index.row(), index.column()); });
            if (text.isEmpty())
                return false;
            QToolTip::showText(help->globalPos(), PlainToolTip(text), grid->viewport(),
                               grid->visualRect(index));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QMenu* PriceFeatures::gridMenu(DBGridEh& grid, int row)
{
    auto* menu = new QMenu(&m_window);
    menu->setObjectName(QStringLiteral("PriceMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool hasRow = grid.dataset() && row >= 0 && row < grid.dataset()->recordCount();
    QPointer<DBGridEh> target(&grid);
    auto onGrid = [this, target](auto action) {
        return [this, target, action] {
            if (target)
                Guarded([&] { action(*target); });
        };
    };
    QAction* chart = menu->addAction(QStringLiteral("价格走势…"));
    chart->setEnabled(hasRow);
    connect(chart, &QAction::triggered, this, onGrid([this, row](DBGridEh& g) { showChart(g, row); }));
    QAction* csv = menu->addAction(QStringLiteral("导出为 CSV…"));
    connect(csv, &QAction::triggered, this, onGrid([this](DBGridEh& g) {
                const QString suggested = QDir::home().filePath(suggestedCsvName(g));
                const QString path =
                    m_chooseSavePath
                        ? m_chooseSavePath(suggested)
                        : QFileDialog::getSaveFileName(&m_window, QStringLiteral("导出为 CSV"), suggested,
                                                       QStringLiteral("CSV 文件 (*.csv)"));
                if (!path.isEmpty())
                    exportCsv(g, path);
            }));
    QAction* link = menu->addAction(QStringLiteral("复制商品链接"));
    link->setEnabled(hasRow);
    connect(link, &QAction::triggered, this, onGrid([this, row](DBGridEh& g) { copyLink(g, row); }));
    menu->addSeparator();
    QAction* settings = menu->addAction(QStringLiteral("设置…"));
    connect(settings, &QAction::triggered, this, [this] { openSettings(); });
    return menu;
}

PriceChartWindow* PriceFeatures::showChart(DBGridEh& grid, int row)
{
    const Dataset* rows = grid.dataset();
    if (!rows)
        return nullptr;
    const QString cph = rowText(*rows, row, QStringLiteral("cph"));
    if (cph.isEmpty())
        return nullptr;
    std::vector<DayPrice> days = m_history.days(cph);
    const auto fen = ShownPriceInFen(rowPrice(m_window, grid, row));
    QString verdict = fen ? PriceToolTip(*fen, days, m_history.today()) : VerdictText(Verdict::TooFewDays);
    verdict.replace(QLatin1Char('\n'), QStringLiteral("  "));
    auto* window = new PriceChartWindow(rowText(*rows, row, QStringLiteral("cpmc")), std::move(days), verdict,
                                        &m_window);
    window->show();
    return window;
}

QString PriceFeatures::suggestedCsvName(DBGridEh& grid) const
{
    QString what =
        isResultGrid(m_window, grid) ? m_window.state().SearchWord.trimmed() : QStringLiteral("收藏夹");
    if (what.isEmpty())
        what = QStringLiteral("搜索结果");
    for (const QChar c :
         {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':'), QLatin1Char('*'), QLatin1Char('?'),
          QLatin1Char('"'), QLatin1Char('<'), QLatin1Char('>'), QLatin1Char('|')})
        what.replace(c, QLatin1Char('_'));
    return QStringLiteral("Kova-%1-%2.csv")
        .arg(what, QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
}

bool PriceFeatures::exportCsv(DBGridEh& grid, const QString& path)
{
    const Dataset* rows = grid.dataset();
    if (!rows)
        return false;
    QStringList header;
    QStringList fields;
    QList<CsvColumn> kinds;
    for (int c = 0; c < grid.columnCountEh(); ++c) {
        const GridColumn& column = grid.column(c);
        if (isField(column.field, QLatin1String("bz1"))) // the picture: its address follows
            continue;
        header << column.title;
        fields << column.field;
        kinds << exportKind(column.field);
    }
    header << QStringLiteral("商品地址") << QStringLiteral("图片地址");
    QList<QStringList> lines;
    for (int r = 0; r < rows->recordCount(); ++r) {
        QStringList line;
        for (const QString& field : fields)
            line << rowText(*rows, r, field);
        const QString picture = rowText(*rows, r, QStringLiteral("xtp"));
        line << rowText(*rows, r, QStringLiteral("cplj"))
             << (picture.isEmpty() ? rowText(*rows, r, QStringLiteral("dtp")) : picture);
        lines << line;
    }
    if (const auto failure = SaveWholeFile(path, CsvBytes(header, lines, kinds))) {
        ShowError(QStringLiteral("无法导出到 %1：%2").arg(QDir::toNativeSeparators(path), *failure));
        return false;
    }
    m_window.ui.StatusBar1->showPassingText(
        0, QStringLiteral("已导出 %1 条记录到 %2").arg(lines.size()).arg(QDir::toNativeSeparators(path)));
    return true;
}

void PriceFeatures::copyLink(DBGridEh& grid, int row)
{
    const Dataset* rows = grid.dataset();
    if (!rows)
        return;
    const QString link = rowText(*rows, row, QStringLiteral("cplj"));
    if (link.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(link);
    m_window.ui.StatusBar1->showPassingText(0, QStringLiteral("已复制商品链接"));
}

void PriceFeatures::openSettings()
{
    AlertPreferences prefs = AlertPreferences::load();
    auto* dialog = new SettingsWindow(prefs.enabled, prefs.intervalMinutes, AlertPreferences::MinInterval,
                                      AlertPreferences::MaxInterval, &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        AlertPreferences chosen;
        chosen.enabled = dialog->alertsOn();
        chosen.intervalMinutes = dialog->intervalMinutes();
        chosen.save();
        applyPreferences();
    });
    dialog->open();
}

} // namespace kova
