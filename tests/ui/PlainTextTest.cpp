// Texts from a page shown by the widgets that could read them as markup: tool tips, message
// boxes, labels and window titles show each hostile name literally and load no picture.
#include "store/Report.h"
#include "ui/ClickLabel.h"
#include "ui/Messages.h"
#include "ui/PriceChartWindow.h"
#include "ui/ShownText.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

namespace kova {
namespace {

const QString HostileNames[] = {
    QStringLiteral("<img src=\"/dev/zero\">"),
    QStringLiteral("<img src=\"file:///etc/hostname\"> 手机"),
    QStringLiteral("<font size=7>大字</font>真正的名称"),
    QStringLiteral("<b>粗体</b> & <i>斜体</i>"),
    QStringLiteral("&lt;i&gt; 不是标签"),
    QStringLiteral("<qt>整段</qt>"),
    QStringLiteral("两行\n名称"),
};

// What a rich text shows, and whether it would load a picture.
struct Rendered {
    QString text;
    bool image = false;
};
Rendered render(const QString& html)
{
    QTextDocument doc;
    doc.setHtml(html);
    Rendered r{doc.toPlainText()};
    for (QTextBlock b = doc.begin(); b != doc.end(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            r.image = r.image || it.fragment().charFormat().isImageFormat();
    return r;
}

QLabel* shownToolTip()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            return static_cast<QLabel*>(w);
    return nullptr;
}

TEST(PlainTexts, ToolTipShowsTheTextAndLoadsNoPicture)
{
    QWidget owner;
    owner.resize(200, 100);
    owner.show();
    for (const QString& name : HostileNames) {
        SCOPED_TRACE(name.toStdString());
        const Rendered r = render(PlainToolTip(name));
        EXPECT_EQ(r.text, name);
        EXPECT_FALSE(r.image);
        QToolTip::showText(owner.mapToGlobal(QPoint(10, 10)), PlainToolTip(name), &owner);
        QLabel* tip = shownToolTip();
        ASSERT_NE(tip, nullptr);
        EXPECT_EQ(render(tip->text()).text, name);
        QToolTip::hideText();
    }
    // Lines are kept, and a plain tool tip's blank runs too.
    EXPECT_EQ(render(PlainToolTip(QStringLiteral("价格正常\n历史最低  ￥5"))).text.replace(QChar(0xA0), u' '),
              QStringLiteral("价格正常\n历史最低  ￥5"));
    EXPECT_EQ(render(PlainToolTip(QStringLiteral("a\u202Eb"))).text, QStringLiteral("ab"));
}

TEST(PlainTexts, MessageBoxesShowTheTextAsItIs)
{
    installMessageBoxes();
    for (const QString& name : HostileNames) {
        SCOPED_TRACE(name.toStdString());
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shown = box->text();
            format = box->textFormat();
            box->accept();
        });
        ShowError(QStringLiteral("无法打开 ") + name + QStringLiteral("\u202E"));
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(shown, QStringLiteral("无法打开 ") + name);
    }
}

TEST(PlainTexts, LabelsTakeNoMarkup)
{
    ClickLabel label;
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    label.setText(HostileNames[0]);
    label.resize(300, 30);
    label.show();
    EXPECT_EQ(label.text(), HostileNames[0]);
    EXPECT_TRUE(label.grab().width() > 0); // painted as text, nothing loaded
}

TEST(PlainTexts, WindowTitlesShowTheNameAsOneLineInItsOwnOrder)
{
    const QString name = QStringLiteral("<b>手机</b> [*] 第一行\r\n第二行\u202Egpj.exe");
    PriceChartWindow chart(name, {}, QStringLiteral("记录不足"));
    chart.show();
    ASSERT_NE(chart.windowHandle(), nullptr);
    EXPECT_EQ(chart.windowHandle()->title(),
              QStringLiteral("价格走势 - <b>手机</b> [*] 第一行  第二行gpj.exe"));

    const QString title = PlainWindowTitle(QString(100000, u'长'));
    EXPECT_EQ(title.size(), MaxTitleLength);
    EXPECT_TRUE(title.endsWith(QChar(0x2026)));
    EXPECT_EQ(PlainWindowTitle(QStringLiteral("a[*][*]b")), QStringLiteral("a[*][*][*][*]b"));
}

} // namespace
} // namespace kova
