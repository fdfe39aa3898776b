#pragma once

#include "app/ProgramState.h"
#include "favorites/FavoritesListReader.h"
#include "results/PicturePreview.h"
#include "results/ResultCellPainter.h"
#include "search/AccountReply.h"
#include "search/TGetMM.h"
#include "service/HttpClient.h"
#include "service/NavigationQueue.h"
#include "service/PageLoader.h"
#include "service/PageText.h"
#include "service/PictureDownload.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "ui/FrmkovaUi.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kova {

// The main window. It owns the database connection and its query objects, the hidden page
// loaders with their page text, the HTTP client and every control. Handlers are plain
// member functions named after the control and event; what they decide lives in the
// subsystem folders.
class Tfrmkova : public QWidget {
    Q_OBJECT
public:
    // Opens kvdb.dat in the working folder; throws kova::Error when that fails.
    explicit Tfrmkova(QWidget* parent = nullptr);
    ~Tfrmkova() override;

    ProgramState& state() { return m_state; }
    FrmkovaUi ui;

    Connection ADOConnection1;
    Dataset ADOQuery1;
    Dataset ADOQuery2;
    Dataset ADOQuery3;
    Dataset ADOQuery4;
    Dataset qry1;
    Dataset qry2;
    Dataset qry3;

    PageLoader wbwebb;
    PageLoader WebBrowser1;
    PageText mmo1{QStringLiteral("Memo1")};
    std::unique_ptr<HttpClient> IdHTTP;

    // Lifecycle (Uzjm.cpp).
    void FormCreate();
    void FormShow();
    void FormClose();
    void btn10Click();
    // The one reader of wbwebb's completions: each is read for what its navigation was for.
    void wbwebbDocumentComplete();
    // What wbwebb is loading now and whether navigations wait behind it.
    NavigationPurpose wbwebbPurpose() const { return m_navigations.current(); }
    int wbwebbWaiting() const { return m_navigations.waitingCount(); }

    // Layout and views (UzjmViews.cpp).
    void FormResize();
    void btn5Click();
    void btn7Click();
    void btn8Click();
    void btn9Click();
    void ImageClick(int index); // Image1 … Image8 as 1 … 8
    void HidePreview();

    // Searching (UzjmSearch.cpp; the thumbnail fetchers in UzjmThumbnails.cpp).
    void labClick(int index); // the hot keyword labels lab01 … lab58, in row order
    void suiButton4Click();
    void suiButton1Click();
    void btn1Click();
    // Fetches every thumbnail of the result rows that the cache lacks, `first` before the
    // rows on screen and those before the rest (which go in price order); nothing starts
    // when none is missing.
    void StartThumbnailFetcher(std::vector<PictureItem> first = {});
    void get_cxnr();
    void suiCheckBox1Click();
    void suiCheckBoxMerchantClick(int box); // suiCheckBox2 … suiCheckBox8 as 2 … 8
    void DBGridEh1TitleBtnClick(int col);
    // Esc: stops a search whose page is still loading (nothing is read), or ends the reading
    // of its page at a row boundary (the rows stored so far stay, as after a whole page).
    void stopSearch();
    // A result page is being read: its rows go on arriving between the window's events.
    bool readingPage() const { return m_reading != nullptr; }
    // Shows the progress panel in front with the bar and label (bar shown at most 100).
    // `paintNow` paints the panel at once (at a steady pace, not for every call).
    void showProgress(int bar, const QString& label, bool paintNow = true);
    // Fetchers of result thumbnails still running (the newest last); stopped and joined with
    // the window.
    const std::vector<std::unique_ptr<TGetMM>>& fetchers() const { return m_fetchers; }
    // The fetcher of the favorites list's pictures (the newest), if one was started.
    const TGetMM* favoritesFetcher() const { return m_favoritesFetcher.get(); }
    // Time-outs of the picture downloads (fetchers and the large preview picture).
    void setPictureTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);
    int getCxnrRuns() const { return m_getCxnrRuns; }

    // The result grid (UzjmResults.cpp).
    void DBGridEh1DrawColumnCell(GridCanvas& canvas, const QRect& rect, int dataCol, const GridColumn& column,
                                 GridDrawState state);
    void DBGridEh1CellClick(int dataCol);
    void DBGridEh1MouseMove(QPoint pos);
    // The reply of the add-to-favorites request sent through WebBrowser1.
    void WebBrowser1DocumentComplete();
    void addResultFavorite();

    // Favorites and price-drop notices (UzjmFavorites.cpp).
    void btn2Click();
    void btn3Click();
    void DBGridEh2DrawColumnCell(GridCanvas& canvas, const QRect& rect, int dataCol, const GridColumn& column,
                                 GridDrawState state);
    void DBGridEh2CellClick(int dataCol);
    void DBGridEh2MouseMove(QPoint pos);
    // Reads an auxiliary window's page for what the window was opened for.
    void readAuxiliaryPage(class Tfrmsc& aux);
    // The "删除收藏" cell and Ctrl+Delete on DBGridEh2.
    void deleteFavorite();
    // The large picture of the current row of `grid`'s rows in the preview panel at
    // `panelPos`. A picture not in the cache yet is fetched off the window's thread, with the
    // hourglass meanwhile, and shown if the pointer is still on the row's picture cell.
    void showPicturePreview(DBGridEh& grid, QPoint panelPos);
    bool previewPending() const { return m_previewDownload != nullptr; }

    bool shown() const { return m_shown; }

    // Price history, verdicts, chart, export and desktop alerts (PriceFeatures.cpp).
    class PriceFeatures* priceFeatures() const { return m_priceFeatures.get(); }
    class PriceHistory* priceHistory() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void wireLayoutHandlers();   // UzjmViews.cpp
    void wireSearchHandlers();   // UzjmSearch.cpp
    void wireResultHandlers();   // UzjmResults.cpp
    void wireFavoriteHandlers(); // UzjmFavorites.cpp
    void applySkin();

    // The show step's parts, in order (Uzjm.cpp).
    void reopenDatabase();
    void initialiseState();
    void showStartPage();
    void clearResults();
    void showVersionCaption();
    void readAccount(class SettingsRecord& settings, QStringList& damage);
    void readAffiliateIds(SettingsRecord& settings, QStringList& damage);
    // The account as the settings record or a reply gave it.
    void takeAccount(const Account& account);

    // wbwebb's navigations (Uzjm.cpp).
    void navigate(NavigationPurpose purpose, std::function<QString()> address, QString tag = {});
    void startNext();
    // The result page or the account reply (UzjmSearch.cpp), read in slices of at most
    // about ReadingSliceMs with the window's events in between.
    void readResultPage(bool accountRequest);
    // The search command's emptying of the result table, after its request has gone out.
    void clearResultsForSearch();
    // Takes the search off wbwebb, waiting or loading; false when there was none.
    bool dropSearchNavigation();
    void continueReading();
    void finishReading();
    // The end of a reading, done or `failed`: the grid in its order, the panel down (when
    // `inView`), the status bar's count, the pictures of the stored rows.
    void endReading(struct PageReading& reading, bool inView, bool failed);
    // What a search command that failed leaves: the panel down, the stored rows listed.
    void searchFailed();
    std::shared_ptr<struct PageReading> m_reading; // the page being read, if any
    static constexpr int ReadingSliceMs = 16;
    QTimer m_readingTimer; // the reading's next step
    // The thumbnails (UzjmThumbnails.cpp): a fetcher of `items` for `grid`'s rows, the first
    // `leading` items before the rows on screen.
    bool hasResultRows();
    std::unique_ptr<TGetMM> makeFetcher(std::vector<PictureItem> items, DBGridEh* grid, size_t leading = 0,
                                        TGetMM::ListMaker more = {});

    ProgramState m_state;
    // Goes before the connection and the loaders it uses.
    std::unique_ptr<class PriceFeatures> m_priceFeatures;
    bool m_shown = false;
    std::vector<std::unique_ptr<TGetMM>> m_fetchers;
    // Thumbnails whose latest download failed: the grid says none is coming.
    std::shared_ptr<ThumbnailFailures> m_thumbnailFailures = std::make_shared<ThumbnailFailures>();
    // Which products have a picture record: looked up for every painted cell.
    PictureRecordIndex m_pictureRecords{qry1};
    NavigationQueue m_navigations;
    std::chrono::milliseconds m_pictureConnectTimeout = HttpClient::DefaultConnectTimeout;
    std::chrono::milliseconds m_pictureStallTimeout = HttpClient::DefaultStallTimeout;
    QElapsedTimer m_progressClock;
    static constexpr qint64 ProgressRepaintMs = 40;
    // The progress label shows a row's name: a name longer than the label can ever show is
    // cut, so a 100 KB name costs no more to lay out than a short one.
    static constexpr int ProgressLabelChars = 1024;
    int m_getCxnrRuns = 0;

    // Result grid state (UzjmResults.cpp).
    int ResultGridMouseY = 0; // pointer Y in grid pixels at the latest move over the grid
    // shared_ptr: the queue's type is complete only in UzjmResults.cpp.
    std::shared_ptr<class FavoriteRequestQueue> m_favoriteRequests;
    void sendNextFavorite();
    void markResultFavorite(const QString& bh, const QString& cph);
    // Every result row of the product shows the favorite invitation again.
    void unmarkResultFavorite(const QString& cph);

    // Favorites state (UzjmFavorites.cpp).
    void openFavoriteList(FavoriteList list);
    void wbwebbFavoriteDeleteComplete(const QString& cph);
    QPointer<QWidget> m_listWindow; // the newest favorites or price-drop window
    int FavGridMouseY = 0;          // pointer Y in grid pixels at the latest move over DBGridEh2
    std::unique_ptr<TGetMM> m_favoritesFetcher;

    // The large picture on its way (UzjmFavorites.cpp).
    struct PendingPreview {
        DBGridEh* grid = nullptr;
        QString cph;
        QPoint panelPos;
    };
    PendingPreview m_pendingPreview;
    std::unique_ptr<LargePictureDownload> m_previewDownload;
    quint64 m_previewGeneration = 0;
    void largePictureReady();
    void showPreviewPicture(const QImage& picture, QPoint panelPos);
    bool pointerOnPictureCell(DBGridEh& grid, const QString& cph) const;
};

// The program-wide reference to the main window (set before its construction starts).
extern Tfrmkova* frmkova;

} // namespace kova
