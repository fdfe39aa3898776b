// kova-reliability-driver: runs the real main window in a process of its own, so that tests
// can kill it (SIGKILL) in the middle of its work, start it beside no skin file, or load it
// with many searches and measure it. It prints what it does, one line at a time, flushed:
//   posted cxnr <cph> | posted scnr <cph>   a row was posted (it is in kvdb.dat now)
//   message <error|info|question> <text>   a message the user would have seen
//   done <what> rows=<n>                   a search or list has been read
//   vmhwm-read <kB>                        the peak resident memory when a search has been read
//   vmhwm <kB>                             the peak resident memory at the end
//   longest-gap <ms>                       search-settle: the longest the window's events waited
//
// usage: kova-reliability-driver <service url> <version url> <directory url> <command> [args]
//   start                  start the window and wait for the first-run pages
//   search <word>          start, then search for word
//   search-settle <word> <ms>  start, search for word, let the window run for ms more (the
//                          fetcher lists its pictures) and say how long its events waited at
//                          most from the search on; the pictures are not waited for
//   favorites              start, then fetch the favorites list
//   load <n>               start, n searches in a row (fetchers still running), twenty
//                          favorites added at the service, then the favorites list n times
//   geometry               start, then print where the controls a user clicks lie:
//                          "geom <name> <x> <y>", the centre relative to the window's
//                          top-left corner (the grids' cells: row 1 of the column), and
//                          "hot <index> <x> <y> <caption>" for each hot keyword
//   search-fsize <word> <bytes>  start, then search for word with no file allowed to grow
//                          past bytes (RLIMIT_FSIZE; SIGXFSZ ignored, so writes fail with EFBIG)
//   hold-lock <db> <ms>    no window: hold kvdb.dat's write lock for ms milliseconds
// The working folder must hold kvdb.dat; the picture cache goes under TMPDIR.

#include "app/Uzjm.h"
#include "favorites/Usc.h"
#include "service/HttpClient.h"
#include "service/Requests.h"
#include "ui/ClickLabel.h"
#include "ui/DBGridEh.h"
#include "ui/Messages.h"
#include "ui/SkinFrame.h"
#include "ui/StatusBar.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/resource.h>

namespace {

using namespace kova;

void say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

QString peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).trimmed().split(' ').value(0));
    }
    return QStringLiteral("?");
}

int holdLock(const QString& path, int ms)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        say(QStringLiteral("error ") + QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
        return 1;
    }
    if (sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        say(QStringLiteral("error ") + QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
        return 1;
    }
    say(QStringLiteral("locked"));
    QThread::msleep(static_cast<unsigned long>(ms));
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    say(QStringLiteral("released"));
    return 0;
}

// The longest time the window's event loop went without a turn while it runs: a timer of
// 5 ms that notes the gaps between its ticks.
class LoopWatch {
public:
    LoopWatch()
    {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_since.start();
        m_timer.start();
    }
    qint64 longestMs() const { return std::max(m_longest, m_since.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

class Driver {
public:
    bool start()
    {
        m_window = std::make_unique<Tfrmkova>();
        QObject::connect(&m_window->ADOQuery2, &Dataset::rowsInserted, [this](int first, int last) {
            for (int row = first; row <= last; ++row)
                posted(QStringLiteral("cxnr"), m_window->ADOQuery2, row);
        });
        QObject::connect(&m_window->ADOQuery3, &Dataset::rowsInserted, [this](int first, int last) {
            for (int row = first; row <= last; ++row)
                posted(QStringLiteral("scnr"), m_window->ADOQuery3, row);
        });
        m_window->show();
        if (!waitUntil([this] { return !m_window->wbwebb.isLoading(); }, 20000))
            return false;
        // The version page loads beside the account reply in an auxiliary window that frees
        // itself once the page is read (or has failed): wait for that too.
        waitUntil(
            [this] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return m_window->findChildren<Tfrmsc*>().isEmpty();
            },
            20000);
        say(QStringLiteral("started user=") + m_window->state().UserId);
        return true;
    }

    bool search(const QString& word)
    {
        StatusBar& status = *m_window->ui.StatusBar1;
        status.setPanelText(0, QString());
        m_window->ui.edt_key->setText(word);
        m_window->ui.suiButton4->click();
        const bool done = waitUntil(
            [&] { return status.panelText(0).startsWith(QStringLiteral("本次搜索结果有")); }, 900000);
        say(QStringLiteral("done search rows=%1").arg(m_window->ADOQuery2.recordCount()));
        say(QStringLiteral("vmhwm-read ") + peakMemoryKb());
        say(QStringLiteral("status ") + status.panelText(0));
        return done;
    }

    bool favorites()
    {
        StatusBar& status = *m_window->ui.StatusBar1;
        status.setPanelText(0, QString());
        const int before = m_messages;
        // The button of the view on show is disabled: back to the results first.
        if (!m_window->ui.btn2->isEnabled())
            m_window->ui.btn1->click();
        m_window->ui.btn2->click();
        const bool done = waitUntil(
            [&] {
                return status.panelText(0).startsWith(QStringLiteral("您收藏的商品共有")) ||
                       m_messages > before;
            },
            120000);
        say(QStringLiteral("done favorites rows=%1").arg(m_window->ADOQuery3.recordCount()));
        return done;
    }

    void waitForFetchers()
    {
        waitUntil(
            [this] {
                for (const auto& f : m_window->fetchers()) {
                    if (!f->isFinished())
                        return false;
                }
                return true;
            },
            300000);
        // The grid's repaint for the last pictures, as a window left open would draw it.
        QDeadlineTimer settle(200);
        while (!settle.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    void countMessage() { ++m_messages; }
    Tfrmkova& window() { return *m_window; }
    void close() { m_window.reset(); }

private:
    void posted(const QString& table, Dataset& rows, int row)
    {
        const int cph = rows.fieldNames().indexOf(QStringLiteral("cph"));
        say(QStringLiteral("posted ") + table + QLatin1Char(' ') + rows.fieldAt(row, cph).toString());
    }

    std::unique_ptr<Tfrmkova> m_window;
    int m_messages = 0;
};

void printGeometry(Tfrmkova& window)
{
    const auto centre = [&](const QString& name, const QWidget* widget) {
        const QPoint c = widget->mapTo(&window, widget->rect().center());
        say(QStringLiteral("geom %1 %2 %3").arg(name).arg(c.x()).arg(c.y()));
    };
    const auto cell = [&](const QString& name, DBGridEh* grid, const char* field) {
        for (int col = 0; col < grid->columnCountEh(); ++col) {
            if (grid->column(col).field.compare(QLatin1String(field), Qt::CaseInsensitive) != 0)
                continue;
            const QHeaderView* header = grid->horizontalHeader();
            const QPoint inViewport(header->sectionViewportPosition(col) + header->sectionSize(col) / 2,
                                    grid->defaultRowHeight() / 2);
            const QPoint c = grid->viewport()->mapTo(&window, inViewport);
            say(QStringLiteral("geom %1 %2 %3").arg(name).arg(c.x()).arg(c.y()));
        }
    };
    FrmkovaUi& ui = window.ui;
    ui.pan03->setVisible(true);
    QCoreApplication::processEvents();
    centre(QStringLiteral("edt_key"), ui.edt_key);
    centre(QStringLiteral("suiButton4"), ui.suiButton4);
    for (size_t i = 0; i < ui.hotKeywords.size(); ++i) {
        const ClickLabel* label = ui.hotKeywords[i];
        const QPoint c = label->mapTo(&window, label->rect().center());
        say(QStringLiteral("hot %1 %2 %3 %4").arg(i).arg(c.x()).arg(c.y()).arg(label->text()));
    }
    centre(QStringLiteral("btn1"), ui.btn1);
    centre(QStringLiteral("btn2"), ui.btn2);
    centre(QStringLiteral("btn3"), ui.btn3);
    centre(QStringLiteral("close"), ui.suiForm1->closeButton());
    ui.pan03->setVisible(false);
    ui.pan01->setVisible(true);
    QCoreApplication::processEvents();
    centre(QStringLiteral("Edt_word"), ui.Edt_word);
    cell(QStringLiteral("grid1-picture"), ui.DBGridEh1, "bz1");
    cell(QStringLiteral("grid1-name"), ui.DBGridEh1, "cpmc");
    cell(QStringLiteral("grid1-favorite"), ui.DBGridEh1, "check");
    ui.pan01->setVisible(false);
    ui.pan02->setVisible(true);
    QCoreApplication::processEvents();
    cell(QStringLiteral("grid2-picture"), ui.DBGridEh2, "bz1");
    cell(QStringLiteral("grid2-name"), ui.DBGridEh2, "cpmc");
}

int run(const QStringList& args)
{
    if (args.size() >= 3 && args.at(0) == u"hold-lock")
        return holdLock(args.at(1), args.at(2).toInt());
    if (args.size() < 4) {
        std::fputs("usage: kova-reliability-driver <service> <version> <directory> <command> [args]\n",
                   stderr);
        return 2;
    }
    setRequestHostsForTesting(args.at(0), args.at(1), args.at(2));
    const QString command = args.at(3);

    Driver driver;
    setMessageHook([&driver](const Message& m) {
        static const char* const kinds[] = {"error", "info", "question"};
        say(QStringLiteral("message ") + QLatin1String(kinds[static_cast<int>(m.kind)]) + QLatin1Char(' ') +
            m.text);
        driver.countMessage();
        return true;
    });
    if (!driver.start())
        return 3;

    bool ok = true;
    bool waitForFetchers = true;
    if (command == u"search" && args.size() >= 5) {
        ok = driver.search(args.at(4));
    } else if (command == u"search-settle" && args.size() >= 6) {
        const LoopWatch watch;
        ok = driver.search(args.at(4));
        const QDeadlineTimer settle(args.at(5).toInt());
        while (!settle.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        say(QStringLiteral("longest-gap %1").arg(watch.longestMs()));
        waitForFetchers = false;
    } else if (command == u"search-fsize" && args.size() >= 6) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t bytes = args.at(5).toULongLong();
        const rlimit limit{bytes, bytes};
        ok = setrlimit(RLIMIT_FSIZE, &limit) == 0 && driver.search(args.at(4));
    } else if (command == u"favorites") {
        ok = driver.favorites();
    } else if (command == u"load" && args.size() >= 5) {
        const int n = args.at(4).toInt();
        // Keywords of more than twelve rows, so every search starts a fetcher, and new ones,
        // so the reader downloads its twelve thumbnails too.
        for (int i = 0; i < n && ok; ++i)
            ok = driver.search(QStringLiteral("test%1").arg(20 + 7 * i));
        driver.waitForFetchers();
        // Twenty favorites of the last search, added at the service as the favorite cell
        // does, so that every list has rows (and pictures) to read.
        try {
            HttpClient http;
            const ProgramState& state = driver.window().state();
            for (int row = 1; row <= 20; ++row)
                http.get(Requests().addFavorite(state.UserId, state.UserPassword, QString::number(row)));
        } catch (const std::exception& e) {
            say(QStringLiteral("failed ") + QString::fromUtf8(e.what()));
            ok = false;
        }
        for (int i = 0; i < n && ok; ++i)
            ok = driver.favorites();
    } else if (command == u"geometry") {
        printGeometry(driver.window());
    } else if (command != u"start") {
        std::fputs("unknown command\n", stderr);
        return 2;
    }
    if (waitForFetchers)
        driver.waitForFetchers();
    driver.close();
    setMessageHook({});
    say(QStringLiteral("vmhwm ") + peakMemoryKb());
    return ok ? 0 : 4;
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    kova::HttpClient::globalInit();
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return run(args);
}
