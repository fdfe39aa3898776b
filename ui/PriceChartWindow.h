#pragma once

#include "store/PriceHistory.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <vector>

class QPainter;

namespace kova {

// Where the chart puts a day and a price inside its plot area. Every day is a slot of
// equal width from the first day of the history to the last, so a gap of months stays a
// gap; a single day fills the plot.
struct PriceChartLayout {
    QRect plot;
    QDate first;
    QDate last;
    qint64 bottomFen = 0; // price at the plot's bottom edge
    qint64 topFen = 0;    // price at its top edge

    double slotWidth() const;
    double dayLeft(const QDate& day) const;   // left edge of the day's slot
    double dayCentre(const QDate& day) const; // its middle
    double priceY(qint64 fen) const;
};

PriceChartLayout LayoutPriceChart(const QRect& area, const std::vector<DayPrice>& days);

inline const QColor ChartBandColor{170, 205, 245};
inline const QColor ChartLineColor{20, 60, 160};
inline const QColor ChartLowColor{220, 0, 0};

// Paints the history: the daily low–high band, the daily last price as a step line, the
// lowest price marked with its date, ￥ values on the vertical axis, dates on the
// horizontal one, and the verdict above. `days` oldest first; without days it says so.
void PaintPriceChart(QPainter& painter, const QRect& area, const std::vector<DayPrice>& days,
                     const QString& verdict);

// The small window of "价格走势…": the chart of one product, drawn anew at every paint.
class PriceChartWindow : public QWidget {
    Q_OBJECT
public:
    PriceChartWindow(const QString& productName, std::vector<DayPrice> days, QString verdict,
                     QWidget* parent = nullptr);
    const std::vector<DayPrice>& days() const { return m_days; }
    const QString& verdict() const { return m_verdict; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<DayPrice> m_days;
    QString m_verdict;
};

} // namespace kova
