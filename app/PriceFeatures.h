#pragma once

#include "service/PageLoader.h"
#include "store/PriceHistory.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QMenu;

namespace kova {

class DBGridEh;
class DesktopNotifier;
class PriceChartWindow;
class Tfrmkova;

// What Kova adds around the two grids without changing them: the local price history
// (sighted by the page readers), the verdict in the price cells' tool tips, the right-click
// menu (chart, CSV export, copying the product address, the "设置" window) and the desktop
// price-drop alerts, checked on a loader of their own. A child of the main window.
class PriceFeatures : public QObject {
    Q_OBJECT
public:
    explicit PriceFeatures(Tfrmkova& window);
    ~PriceFeatures() override;

    PriceHistory& history() { return m_history; }

    // The verdict tool tip of a grid cell; empty for a cell that is no price cell or whose
    // price is no number.
    QString toolTip(DBGridEh& grid, int row, int col);
    // The right-click menu for a row of a grid (row -1: below the rows), not yet shown.
    QMenu* gridMenu(DBGridEh& grid, int row);
    PriceChartWindow* showChart(DBGridEh& grid, int row);
    // The rows as the grid lists them now, written to `path`; false (reported) on failure.
    bool exportCsv(DBGridEh& grid, const QString& path);
    QString suggestedCsvName(DBGridEh& grid) const;
    void copyLink(DBGridEh& grid, int row);
    void openSettings();

    // Test seams: where "导出为 CSV…" saves (instead of asking with a file dialog) and the
    // bus the alerts go to.
    using SavePathChooser = std::function<QString(const QString& suggested)>;
    void setSavePathChooser(SavePathChooser chooser) { m_chooseSavePath = std::move(chooser); }
    void setNotificationBus(const QDBusConnection& bus);

    // Checks the price-drop list now (skipped while a check is running or without account).
    void checkPriceDrops();
    PageLoader& dropLoader() { return m_dropLoader; }
    // Applies the alert preferences: the interval of the checks, on or off.
    void applyPreferences();
    bool checksRunning() const { return m_checkTimer.isActive(); }
    int checkIntervalMs() const { return m_checkTimer.interval(); }

signals:
    // After each check: how many favorites dropped since they were last announced, and
    // whether the desktop was told (false: the status bar says it instead).
    void priceDropsAnnounced(int count, bool onDesktop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readDropList();
    void waitForAccount();

    Tfrmkova& m_window;
    PriceHistory m_history;
    PageLoader m_dropLoader;
    std::unique_ptr<DesktopNotifier> m_notifier;
    QTimer m_startTimer; // waits for the show step and the account
    QTimer m_checkTimer; // every interval while alerts are on
    SavePathChooser m_chooseSavePath;
    int m_pendingCount = 0;
};

} // namespace kova
