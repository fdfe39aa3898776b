#include "favorites/Usc.h"

#include "ui/Messages.h"

#include <QCloseEvent>

namespace kova {

QPointer<Tfrmsc> frmsc;

namespace {

Tfrmsc::Reader& defaultReader()
{
    static Tfrmsc::Reader reader;
    return reader;
}

} // namespace

Tfrmsc::Tfrmsc(Purpose purpose, QWidget* parent) : QWidget(parent, Qt::Tool), m_purpose(purpose)
{
    setObjectName(QStringLiteral("frmsc"));
    setWindowTitle(QStringLiteral("frmsc"));
    // A window only hidden would stay allocated for the life of the program.
    setAttribute(Qt::WA_DeleteOnClose);
    // Never mapped: the window only carries the loader and its text. A tool window has no
    // task-bar entry.
    setAttribute(Qt::WA_DontShowOnScreen);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(133, -500, 696, 362);
    Memo1.clear();
    connect(&WebBrowser1, &PageLoader::DocumentComplete, this, &Tfrmsc::WebBrowser1DocumentComplete);
    frmsc = this;
}

Tfrmsc::~Tfrmsc() = default;

void Tfrmsc::setDefaultReader(Reader reader)
{
    defaultReader() = std::move(reader);
}

void Tfrmsc::WebBrowser1DocumentComplete()
{
    if (m_finished)
        return;
    m_finished = true;
    FavPageValid = false;
    Guarded([this] {
        WebBrowser1.readDocumentInto(Memo1);
        const Reader& reader = m_reader ? m_reader : defaultReader();
        if (reader)
            reader(*this);
    });
    emit pageRead();
    close();
}

void Tfrmsc::closeEvent(QCloseEvent* event)
{
    m_finished = true;
    event->accept();
}

} // namespace kova
