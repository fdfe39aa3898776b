#pragma once

#include "service/PageLoader.h"
#include "service/PageText.h"

#include <QPointer>
#include <QWidget>

namespace kova {

// The auxiliary window: a page loader (WebBrowser1) and its page text (Memo1) for the
// version page and the favorites lists. It is never mapped on a screen and has no
// task-bar entry; it remembers what it was opened for, reads its page once, and closes
// and frees itself.
class Tfrmsc : public QWidget {
    Q_OBJECT
public:
    enum class Purpose { VersionPage, Favorites, PriceDrops };

    explicit Tfrmsc(Purpose purpose, QWidget* parent = nullptr);
    ~Tfrmsc() override;

    Purpose purpose() const { return m_purpose; }

    PageLoader WebBrowser1;
    PageText Memo1;

    // Runs when WebBrowser1 completes: captures the page into Memo1, hands it to the
    // reader and closes the window.
    void WebBrowser1DocumentComplete();

    // The reader that runs over Memo1 for this window's purpose.
    void setReader(std::function<void(Tfrmsc&)> reader) { m_reader = std::move(reader); }

signals:
    void pageRead();

private:
    Purpose m_purpose;
    std::function<void(Tfrmsc&)> m_reader;
};

// The most recently created auxiliary window (null once it has closed).
extern QPointer<Tfrmsc> frmsc;

} // namespace kova
