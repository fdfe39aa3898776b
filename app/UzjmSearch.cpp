// The search commands, the reading of result pages, the thumbnail fetcher, the merchant
// filter and the title sort of the main window.
#include "app/Uzjm.h"

#include "results/OfferRating.h"
#include "search/MerchantFilter.h"
#include "search/ResultPageReader.h"
#include "service/Requests.h"
#include "store/Connection.h"
#include "store/PictureCache.h"
#include "store/SettingsRecord.h"
#include "store/Trace.h"
#include "ui/Messages.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QShortcut>
#include <QTimer>

namespace kova {
namespace {

const QString SearchEndText = QStringLiteral("智能比价搜索结束 ");
const QString IdleSearchText = QStringLiteral("当前操作: 网购比价搜索");
const QString SearchStoppedText = QStringLiteral("已停止搜索");

OfferRatings rateOffer(qint64 count, const QString& merchant, const QString& name)
{
    return {AuthenticityLabel(count, merchant, name), StarRating(count, merchant, name)};
}

} // namespace

// A result page on its way into the result table.
struct PageReading {
    bool accountRequest = false;
    PageText page; // a shared copy: the memo takes the next page meanwhile
    bool begun = false;
    std::unique_ptr<SettingsRecord> settings;
    std::unique_ptr<ResultPageReader> reader;
    // The progress the reader reached, shown once per slice.
    int bar = -1;
    QString label;
    // For the trace: the longest the window's events waited, a step and what came before it.
    QElapsedTimer sinceStep;
    qint64 longestWaitMs = 0;
};

void Tfrmkova::wireSearchHandlers()
{
    for (size_t i = 0; i < ui.hotKeywords.size(); ++i) {
        connect(ui.hotKeywords[i], &ClickLabel::clicked, this,
                [this, i] { Guarded([this, i] { labClick(static_cast<int>(i)); }); });
    }
    connect(ui.suiButton4, &SkinButton::clicked, this, [this] { Guarded([this] { suiButton4Click(); }); });
    // The next step of a reading waits for what the window has to do first: a zero timer runs
    // once the events already waiting have been handled (a posted call would run before
    // them, and two steps could follow each other without a turn of the window between).
    m_readingTimer.setSingleShot(true);
    m_readingTimer.setInterval(0);
    connect(&m_readingTimer, &QTimer::timeout, this, [this] { Guarded([this] { continueReading(); }); });
    connect(ui.suiButton1, &SkinButton::clicked, this, [this] { Guarded([this] { suiButton1Click(); }); });
    // Enter in either keyword box searches, like its button.
    connect(ui.edt_key, &QLineEdit::returnPressed, this, [this] { Guarded([this] { suiButton4Click(); }); });
    connect(ui.Edt_word, &QLineEdit::returnPressed, this, [this] { Guarded([this] { suiButton1Click(); }); });
    connect(ui.btn1, &QToolButton::clicked, this, [this] { Guarded([this] { btn1Click(); }); });

    // A box raises its handler on every change of its state, also one made by the program.
    connect(ui.suiCheckBox1, &QCheckBox::toggled, this, [this] { Guarded([this] { suiCheckBox1Click(); }); });
    const auto boxes = ui.checkBoxes();
    for (int box = 2; box <= 8; ++box) {
        connect(boxes[static_cast<size_t>(box - 1)], &QCheckBox::toggled, this,
                [this, box] { Guarded([this, box] { suiCheckBoxMerchantClick(box); }); });
    }
    connect(ui.DBGridEh1, &DBGridEh::TitleBtnClick, this,
            [this](int col) { Guarded([this, col] { DBGridEh1TitleBtnClick(col); }); });
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] { Guarded([this] { stopSearch(); }); });
}

void Tfrmkova::labClick(int index)
{
    ui.edt_key->setText(ui.hotKeywords.at(static_cast<size_t>(index))->text().trimmed());
    suiButton4Click();
}

void Tfrmkova::suiButton4Click()
{
    m_state.ListMode = ListMode::Results;
    ui.Edt_word->setText(ui.edt_key->text());
    ui.pan01->setVisible(true);
    ui.pan02->setVisible(false);
    ui.pan03->setVisible(false);
    suiButton1Click();
}

void Tfrmkova::showProgress(int bar, const QString& label, bool paintNow)
{
    ui.suiProgressBar1->setValue(std::clamp(bar, 0, 100));
    ui.lbl2->setText(label.left(ProgressLabelChars));
    ui.suiImagePanel1->setVisible(true);
    ui.suiImagePanel1->raise();
    // While a long page is read the panel is drawn at a steady pace, not once per row:
    // every repaint also redraws the grid beneath it.
    if (paintNow && (!m_progressClock.isValid() || m_progressClock.elapsed() >= ProgressRepaintMs ||
                     bar <= 0 || bar >= 100)) {
        ui.suiImagePanel1->repaint();
        m_progressClock.start();
    }
}

void Tfrmkova::suiButton1Click()
{
    trace::mark(trace::Event::SearchStarted);
    // The page still being read ends at a row boundary; the new search removes its rows.
    m_reading.reset();
    m_state.WordHasPictures = false;
    m_state.SearchWord.clear();
    ui.Edt_word->setText(ui.Edt_word->text().trimmed());
    m_state.SearchWord = ui.Edt_word->text();
    mmo1.clear();
    m_state.AccountReplyExpected = false;
    ui.btn1->setEnabled(false);
    ui.btn2->setEnabled(true);
    ui.btn3->setEnabled(true);
    showProgress(0, SearchWaitText);

    try {
        // The request goes out first, so the old rows are removed while the page is on its
        // way; the page is read only after this handler has returned. Built when the request
        // goes out: a search made before the first-run account reply has come waits for it
        // and is sent with that account.
        const bool searching = !m_state.SearchWord.isEmpty();
        if (searching) {
            navigate(NavigationPurpose::Search, [this, word = m_state.SearchWord] {
                return Requests().listAll(word, m_state.UserId, m_state.UserPassword);
            });
        }
        clearResultsForSearch();
        if (!searching) {
            // Nothing to search for: no request, and nothing would take the panel down.
            ui.suiImagePanel1->setVisible(false);
            ui.StatusBar1->setPanelText(0, IdleSearchText);
        }
    } catch (...) {
        // The old rows are still there: no page may be read into them. The window is left
        // ready for the next search, with the rows kvdb.dat holds listed.
        dropSearchNavigation();
        searchFailed();
        throw;
    }
}

void Tfrmkova::searchFailed()
{
    ui.suiImagePanel1->setVisible(false);
    try {
        if (!ADOQuery2.isActive())
            ADOQuery2.open();
    } catch (const Error&) { // the grid stays empty; the error that ended the search is reported
    }
    const int rows = ADOQuery2.recordCount();
    ui.StatusBar1->setPanelText(0, rows > 0 ? QStringLiteral("比价搜索结果有: %1 条记录").arg(rows)
                                            : IdleSearchText);
}

void Tfrmkova::clearResultsForSearch()
{
    // "全部" first: its handler ticks the merchants, each change running the filter.
    for (QCheckBox* box : ui.checkBoxes())
        box->setChecked(true);

    // The old rows go without being read back first: opening ten thousand rows in price
    // order only to count them cost more than the delete, and delays the request.
    ADOQuery2.close();
    ADOQuery2.setSql(QStringLiteral("select * from cxnr order by jg"));
    qry1.setSql(QStringLiteral("delete from cxnr"));
    qry1.execute();
    qry1.close();
    qry1.setSql(QStringLiteral("select * from tpb where word=?"), {m_state.SearchWord});
    qry1.open();
    if (qry1.recordCount() > 0)
        m_state.WordHasPictures = true;

    showProgress(static_cast<int>(QRandomGenerator::global()->bounded(5, 20)), SearchWaitText);
    ADOQuery2.close();
    ADOQuery2.open();
    // The grid is empty and in price order now: no old count, no old sort marker.
    ui.DBGridEh1->clearSortMarkers();
    ui.StatusBar1->setPanelText(0, IdleSearchText);
}

bool Tfrmkova::dropSearchNavigation()
{
    const bool waiting = m_navigations.drop(NavigationPurpose::Search) > 0;
    const bool loading = m_navigations.current() == NavigationPurpose::Search && wbwebb.isLoading();
    if (loading) {
        wbwebb.Stop();
        m_navigations.abandon();
        startNext();
    }
    return waiting || loading;
}

void Tfrmkova::stopSearch()
{
    if (m_reading && !m_reading->accountRequest) {
        finishReading();
        return;
    }
    if (!dropSearchNavigation()) {
        // Nothing is loading or being read: a panel still up is left over, and goes.
        if (m_state.ListMode == ListMode::Results && ui.suiImagePanel1->isVisible() &&
            !m_navigations.waiting(NavigationPurpose::AccountRequest))
            ui.suiImagePanel1->setVisible(false);
        return;
    }
    ui.suiImagePanel1->setVisible(false);
    ui.StatusBar1->setPanelText(0, SearchStoppedText);
}

void Tfrmkova::btn1Click()
{
    m_state.ListMode = ListMode::Results;
    const int rows = ADOQuery2.recordCount();
    ui.StatusBar1->setPanelText(0, rows > 0 ? QStringLiteral("比价搜索结果有: %1 条记录").arg(rows)
                                            : IdleSearchText);
    ui.pan01->setVisible(true);
    ui.pan02->setVisible(false);
    ui.pan03->setVisible(false);
    ui.suiImagePanel1->setVisible(false);
    ui.btn1->setEnabled(false);
    ui.btn2->setEnabled(true);
    ui.btn3->setEnabled(true);
}

void Tfrmkova::readResultPage(bool accountRequest)
{
    // Only a new search replaces a reading; a page arriving meanwhile ends it where it is.
    m_reading.reset();
    auto reading = std::make_shared<PageReading>();
    reading->accountRequest = accountRequest;
    reading->page = mmo1;
    reading->sinceStep.start();
    reading->settings = std::make_unique<SettingsRecord>(qry2);
    PageReading* r = reading.get();
    reading->reader = std::make_unique<ResultPageReader>(
        ResultPageReader::Objects{ADOQuery1, ADOQuery2, qry1, *reading->settings},
        ResultPageReader::Search{accountRequest ? QString() : m_state.SearchWord,
                                 !accountRequest && m_state.WordHasPictures, accountRequest, m_state.TempDir,
                                 m_state.TaobaoPid, m_state.JdUnionId, priceHistory()},
        &rateOffer, [r](int bar, const QString& label) {
            r->bar = bar;
            r->label = label;
        });
    if (accountRequest)
        m_state.AccountReplyExpected = false;
    m_reading = std::move(reading);
    continueReading();
}

void Tfrmkova::continueReading()
{
    if (!m_reading)
        return;
    const std::shared_ptr<PageReading> reading = m_reading;
    // The progress panel, the status bar and messages belong to the search the user looks at:
    // not to the account reply read while a search waits behind it, nor to a search read
    // while the favorites are shown (its rows are there when the user comes back).
    const bool inView = m_state.ListMode == ListMode::Results &&
                        !(reading->accountRequest && m_navigations.waiting(NavigationPurpose::Search));
    bool done = false;
    try {
        // Each slice is stored whole before its rows are announced to the grid, or not at all,
        // so every row the window shows is stored. The account reply is read at once: the
        // search waiting behind it goes out with the account it brings.
        const QDeadlineTimer deadline = reading->accountRequest
                                            ? QDeadlineTimer(QDeadlineTimer::Forever)
                                            : QDeadlineTimer(ReadingSliceMs, Qt::PreciseTimer);
        if (!std::exchange(reading->begun, true))
            reading->reader->start(reading->page);
        done = reading->reader->readStep(ADOConnection1, deadline);
    } catch (...) {
        // The failed slice left nothing behind; the rows of the slices before stay, listed and
        // counted, and their pictures are fetched. The error itself is reported once by the
        // handler's caller.
        if (m_reading == reading)
            m_reading.reset();
        try {
            endReading(*reading, inView, true);
        } catch (const std::exception&) { // the slice's error is the one to report
        }
        throw;
    }
    reading->longestWaitMs = std::max(reading->longestWaitMs, reading->sinceStep.restart());
    if (m_reading != reading)
        return;
    if (inView && reading->bar >= 0)
        showProgress(reading->bar, reading->label, false);
    if (!done) {
        m_readingTimer.start();
        return;
    }
    finishReading();
}

void Tfrmkova::finishReading()
{
    if (!m_reading)
        return;
    const std::shared_ptr<PageReading> reading = std::move(m_reading);
    const bool inView = m_state.ListMode == ListMode::Results &&
                        !(reading->accountRequest && m_navigations.waiting(NavigationPurpose::Search));
    endReading(*reading, inView, false);
}

void Tfrmkova::endReading(PageReading& reading, bool inView, bool failed)
{
    const bool accountRequest = reading.accountRequest;
    ResultPageReader::Outcome outcome = reading.reader->takeOutcome();
    if (outcome.account)
        takeAccount(*outcome.account);
    // Whatever fails below, the panel does not stay up and the status bar counts what the
    // grid lists.
    const auto panelDown = qScopeGuard([&] {
        if (!inView)
            return;
        ui.suiImagePanel1->setVisible(false);
        ui.StatusBar1->setPanelText(0, SearchEndStatus(ADOQuery2.recordCount(), outcome.skipped));
    });
    if (inView && !failed) {
        ui.suiProgressBar1->setValue(100);
        ui.lbl2->setText(SearchEndText);
    }

    // Rows read after the user filtered or sorted the grid came in at its end: the grid's
    // statement and order are applied to every row again.
    if (ADOQuery2.isActive() &&
        (ADOQuery2.sql().trimmed() != QStringLiteral("select * from cxnr order by jg") ||
         !ADOQuery2.sortSpec().isEmpty())) {
        const QString order = ADOQuery2.sortSpec();
        ADOQuery2.open();
        if (!order.isEmpty())
            ADOQuery2.sort(order);
    }
    if (ADOQuery2.isActive())
        ADOQuery2.first();

    DBGridEh& grid = *ui.DBGridEh1;
    for (const char* field : {"cpmc", "bz2"})
        grid.setColumnFontColor(grid.columnOfField(QString::fromLatin1(field)), QColor(0, 0, 255));
    grid.setColumnFontColor(grid.columnOfField(QStringLiteral("pjjb")), QColor(128, 0, 64));

    if (failed) {
        if (QFileInfo(PictureCache(m_state.TempDir).folder()).isDir())
            StartThumbnailFetcher(std::move(outcome.firstThumbnails));
        return;
    }
    if (PictureCache(m_state.TempDir).prepareFolder())
        StartThumbnailFetcher(std::move(outcome.firstThumbnails));
    // The end of the reading, the fetcher's start included, is the last wait it caused.
    if (!accountRequest)
        trace::mark(trace::Event::ReadingLongestWait,
                    std::max(reading.longestWaitMs, reading.sinceStep.elapsed()));
    if (inView && !accountRequest && ADOQuery2.recordCount() == 0 && outcome.skipped == 0)
        ShowInfo(outcome.resultPage ? NoResultsText : NothingReadText(reading.page));
}

void Tfrmkova::get_cxnr()
{
    ++m_getCxnrRuns;
    std::array<bool, 7> merchants{};
    const auto boxes = ui.checkBoxes();
    for (size_t i = 0; i < merchants.size(); ++i)
        merchants[i] = boxes[i + 1]->isChecked();
    const QString statement = MerchantFilterStatement(ui.suiCheckBox1->isChecked(), merchants);

    ui.DBGridEh1->setUpdatesEnabled(false);
    try {
        ADOQuery2.close();
        ADOQuery2.setSql(statement);
        ADOQuery2.open();
    } catch (...) {
        ui.DBGridEh1->setUpdatesEnabled(true);
        throw;
    }
    ui.DBGridEh1->setUpdatesEnabled(true);
    ui.DBGridEh1->clearSortMarkers(); // the rows are in price order again
    ui.StatusBar1->setPanelText(0, QStringLiteral("本次筛选结果有: %1 条记录").arg(ADOQuery2.recordCount()));
}

void Tfrmkova::suiCheckBox1Click()
{
    if (ui.suiCheckBox1->isChecked()) {
        const auto boxes = ui.checkBoxes();
        for (size_t i = 1; i < boxes.size(); ++i)
            boxes[i]->setChecked(true);
    }
    get_cxnr();
}

void Tfrmkova::suiCheckBoxMerchantClick(int box)
{
    if (!ui.checkBoxes().at(static_cast<size_t>(box - 1))->isChecked())
        ui.suiCheckBox1->setChecked(false);
    get_cxnr();
}

void Tfrmkova::DBGridEh1TitleBtnClick(int col)
{
    const QString field = ui.DBGridEh1->column(col).field;
    ADOQuery2.sort(TitleSortText(field, ui.DBGridEh1->sortMarker(col)));
    // The user sees the top of what was sorted.
    if (ADOQuery2.recordCount() > 0)
        ADOQuery2.first();
    ui.DBGridEh1->scrollToTop();
}

} // namespace kova
