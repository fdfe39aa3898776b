#include "ui/PriceChartWindow.h"

#include "store/Money.h"
#include "ui/Fonts.h"
#include "ui/ShownText.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kova {
namespace {

constexpr int LeftMargin = 86; // the ￥ labels
constexpr int RightMargin = 24;
constexpr int TopMargin = 44;    // the verdict
constexpr int BottomMargin = 40; // the dates
constexpr int YTicks = 5;
constexpr int LowMarkRadius = 5;

QString yuanLabel(qint64 fen, qint64 span)
{
    // Wide ranges read better in whole yuan.
    if (span >= 2000)
        fen = (fen + 50) / 100 * 100;
    return QStringLiteral("￥") + YuanText(fen);
}

} // namespace

double PriceChartLayout::slotWidth() const
{
    const qint64 dayCount = first.daysTo(last) + 1;
    return static_cast<double>(plot.width()) / static_cast<double>(std::max<qint64>(1, dayCount));
}

double PriceChartLayout::dayLeft(const QDate& day) const
{
    return plot.left() + static_cast<double>(first.daysTo(day)) * slotWidth();
}

double PriceChartLayout::dayCentre(const QDate& day) const
{
    return dayLeft(day) + slotWidth() / 2;
}

double PriceChartLayout::priceY(qint64 fen) const
{
    const double span = static_cast<double>(std::max<qint64>(1, topFen - bottomFen));
    return plot.bottom() - static_cast<double>(fen - bottomFen) / span * plot.height();
}

PriceChartLayout LayoutPriceChart(const QRect& area, const std::vector<DayPrice>& days)
{
    PriceChartLayout layout;
    layout.plot = area.adjusted(LeftMargin, TopMargin, -RightMargin, -BottomMargin);
    if (days.empty())
        return layout;
    layout.first = days.front().day;
    layout.last = days.back().day;
    qint64 low = days.front().low;
    qint64 high = days.front().high;
    for (const DayPrice& d : days) {
        low = std::min(low, d.low);
        high = std::max(high, d.high);
    }
    // A tenth of the range above and below, and at least a yuan or 5 % when flat.
    const qint64 pad =
        std::max<qint64>((high - low) / 10, high == low ? std::max<qint64>(100, high / 20) : 1);
    layout.bottomFen = std::max<qint64>(0, low - pad);
    layout.topFen = high + pad;
    return layout;
}

void PaintPriceChart(QPainter& painter, const QRect& area, const std::vector<DayPrice>& days,
                     const QString& verdict)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, Qt::white);
    painter.setFont(songFont(15, true));
    painter.setPen(Qt::black);
    painter.drawText(QRect(area.left() + 10, area.top() + 8, area.width() - 20, 28),
                     Qt::AlignLeft | Qt::AlignVCenter, verdict);
    const PriceChartLayout layout = LayoutPriceChart(area, days);
    const QRect& plot = layout.plot;
    painter.setFont(songFont(13));
    if (days.empty()) {
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("暂无价格记录"));
        painter.restore();
        return;
    }

    // Axes and the horizontal grid with ￥ labels.
    const qint64 span = layout.topFen - layout.bottomFen;
    for (int i = 0; i < YTicks; ++i) {
        const qint64 fen = layout.bottomFen + span * i / (YTicks - 1);
        const int y = static_cast<int>(std::lround(layout.priceY(fen)));
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(Qt::black);
        painter.drawText(QRect(area.left() + 2, y - 9, LeftMargin - 8, 18), Qt::AlignRight | Qt::AlignVCenter,
                         yuanLabel(fen, span));
    }
    painter.setPen(Qt::black);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());

    // Dates: the first, the last and evenly between, as many as fit.
    const qint64 totalDays = layout.first.daysTo(layout.last);
    const int labels = static_cast<int>(std::min<qint64>(totalDays, std::max(1, plot.width() / 110)));
    const QString format = layout.first.year() == layout.last.year() && totalDays > 0
                               ? QStringLiteral("MM-dd")
                               : QStringLiteral("yyyy-MM-dd");
    for (int i = 0; i <= labels; ++i) {
        const QDate day = labels == 0 ? layout.first : layout.first.addDays(totalDays * i / labels);
        const int x = static_cast<int>(std::lround(layout.dayCentre(day)));
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
        // The outer labels stay inside the window.
        const int left = std::clamp(x - 50, area.left(), area.right() - 100);
        painter.drawText(QRect(left, plot.bottom() + 6, 100, 18), Qt::AlignCenter, day.toString(format));
    }

    // The daily low–high band (at least two pixels high, so a still price shows).
    const DayPrice* lowest = &days.front();
    for (const DayPrice& d : days) {
        const double top = layout.priceY(d.high);
        const double bottom = std::max(layout.priceY(d.low), top + 2);
        painter.fillRect(QRectF(layout.dayLeft(d.day), top, std::max(1.0, layout.slotWidth()), bottom - top),
                         ChartBandColor);
        if (d.low < lowest->low)
            lowest = &d;
    }

    // The daily last price as a step line; a gap between days is bridged by a dashed line.
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen line(ChartLineColor, 2);
    QPen bridge(ChartLineColor, 1, Qt::DashLine);
    for (size_t i = 0; i < days.size(); ++i) {
        const DayPrice& d = days[i];
        const double y = layout.priceY(d.last);
        const double right = layout.dayLeft(d.day) + layout.slotWidth();
        painter.setPen(line);
        painter.drawLine(QPointF(layout.dayLeft(d.day), y), QPointF(right, y));
        if (i + 1 < days.size()) {
            const DayPrice& next = days[i + 1];
            const double nextY = layout.priceY(next.last);
            if (d.day.daysTo(next.day) == 1) {
                painter.drawLine(QPointF(right, y), QPointF(right, nextY));
            } else {
                painter.setPen(bridge);
                painter.drawLine(QPointF(right, y), QPointF(layout.dayLeft(next.day), nextY));
            }
        }
    }

    // The lowest price, marked with its date.
    const QPointF low(layout.dayCentre(lowest->day), layout.priceY(lowest->low));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ChartLowColor);
    painter.drawEllipse(low, LowMarkRadius, LowMarkRadius);
    painter.setPen(ChartLowColor);
    const QString text = QStringLiteral("最低 ￥%1（%2）")
                             .arg(YuanText(lowest->low), lowest->day.toString(QStringLiteral("yyyy-MM-dd")));
    const int width = painter.fontMetrics().horizontalAdvance(text) + 4;
    const int x = std::clamp(static_cast<int>(low.x()) - width / 2, plot.left(),
                             std::max(plot.left(), plot.right() - width));
    const int y = static_cast<int>(low.y()) + LowMarkRadius + 2 + 18 <= plot.bottom()
                      ? static_cast<int>(low.y()) + LowMarkRadius + 2
                      : static_cast<int>(low.y()) - LowMarkRadius - 20;
    painter.drawText(QRect(x, y, width, 18), Qt::AlignCenter, text);
    painter.restore();
}

PriceChartWindow::PriceChartWindow(const QString& productName, std::vector<DayPrice> days, QString verdict,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), m_days(std::move(days)), m_verdict(std::move(verdict))
{
    setObjectName(QStringLiteral("PriceChartWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(PlainWindowTitle(QStringLiteral("价格走势 - ") + productName));
    resize(640, 360);
    setMinimumSize(360, 220);
}

void PriceChartWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintPriceChart(painter, rect(), m_days, m_verdict);
}

} // namespace kova
