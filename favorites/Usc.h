#pragma once

#include "service/PageLoader.h"
#include "service/PageText.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace kova {

// The auxiliary window: a page loader (WebBrowser1) and its page text (Memo1) for the
// version page and the favorites and price-drop lists. It is never mapped on a screen and
// has no task-bar entry. It remembers what it was opened for, reads one page for that
// purpose only, and then closes and frees itself, also when the reading failed.
class Tfrmsc : public QWidget {
    Q_OBJECT
public:
    enum class Purpose { VersionPage, Favorites, PriceDrops };
    using Reader = std::function<void(Tfrmsc&)>;

    explicit Tfrmsc(Purpose purpose, QWidget* parent = nullptr);
    ~Tfrmsc() override;

    Purpose purpose() const { return m_purpose; }

    PageLoader WebBrowser1;
    PageText Memo1; // lines are the page's lines: no wrapping
    // Set by the list reader when this window's page is a list page; cleared at the start
    // of the reading. Belongs to this window alone.
    bool FavPageValid = false;

    // Runs when WebBrowser1 completes: captures the page into Memo1, hands it to the
    // reader and closes the window. Only the first completion is read; once the window
    // is closing nothing more is read.
    void WebBrowser1DocumentComplete();

    // The reader of this window's page; when none is set, the default reader runs.
    void setReader(Reader reader) { m_reader = std::move(reader); }
    // The reader every window without its own uses (the main window installs it).
    static void setDefaultReader(Reader reader);

    // True once the page was read or the window was closed: no further page is read.
    bool isFinished() const { return m_finished; }

signals:
    void pageRead();

protected:
    // FormClose: the window is always freed when it closes.
    void closeEvent(QCloseEvent* event) override;

private:
    Purpose m_purpose;
    Reader m_reader;
    bool m_finished = false;
};

// The most recently created auxiliary window (null once it has been freed).
extern QPointer<Tfrmsc> frmsc;

} // namespace kova
