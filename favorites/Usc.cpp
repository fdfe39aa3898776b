#include "favorites/Usc.h"

#include "ui/Messages.h"

namespace kova {

QPointer<Tfrmsc> frmsc;

Tfrmsc::Tfrmsc(Purpose purpose, QWidget* parent) : QWidget(parent, Qt::Tool), m_purpose(purpose)
{
    setObjectName(QStringLiteral("frmsc"));
    setWindowTitle(QStringLiteral("frmsc"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Never mapped: the window only carries the loader and its text.
    setAttribute(Qt::WA_DontShowOnScreen);
    setGeometry(133, -500, 696, 362);
    Memo1.clear();
    connect(&WebBrowser1, &PageLoader::DocumentComplete, this, &Tfrmsc::WebBrowser1DocumentComplete);
    frmsc = this;
}

Tfrmsc::~Tfrmsc() = default;

void Tfrmsc::WebBrowser1DocumentComplete()
{
    Guarded([this] {
        WebBrowser1.readDocumentInto(Memo1);
        if (m_reader)
            m_reader(*this);
    });
    emit pageRead();
    close();
}

} // namespace kova
