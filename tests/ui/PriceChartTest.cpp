// The price chart painted offscreen: one day, a year, a gap of months. The band and the
// marked lowest price are looked for in the pixels where the layout puts them.
#include "ui/PriceChartWindow.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kova {
namespace {

const QRect Area(0, 0, 640, 360);

QImage paint(const std::vector<DayPrice>& days, const QString& verdict = QStringLiteral("价格正常"))
{
    QImage image(Area.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    PaintPriceChart(painter, Area, days, verdict);
    return image;
}

QColor at(const QImage& image, QPointF p)
{
    return image.pixelColor(static_cast<int>(p.x()), static_cast<int>(p.y()));
}

// Inside the band of a day: between its high and its last price, away from the step line.
QPointF inBand(const PriceChartLayout& layout, const DayPrice& d)
{
    return {layout.dayCentre(d.day), layout.priceY(d.high - (d.high - d.last) / 3)};
}

int darkPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y).lightness() < 96 ? 1 : 0;
    return n;
}

int pixelsOf(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour ? 1 : 0;
    return n;
}

TEST(PriceChart, OneDayFillsThePlotWithItsBandAndMarksItsLow)
{
    const std::vector<DayPrice> day{{QDate(2026, 12, 9), 4000, 6000, 5000, 3}};
    const QImage image = paint(day);
    const PriceChartLayout layout = LayoutPriceChart(Area, day);
    EXPECT_NEAR(layout.slotWidth(), layout.plot.width(), 1);
    EXPECT_EQ(at(image, inBand(layout, day[0])), ChartBandColor);
    EXPECT_EQ(at(image, {layout.dayCentre(day[0].day), layout.priceY(4000)}), ChartLowColor);
    EXPECT_LT(layout.bottomFen, 4000);
    EXPECT_GT(layout.topFen, 6000);
}

TEST(PriceChart, AYearOfDaysStaysInsideThePlot)
{
    std::vector<DayPrice> year;
    const QDate first(2025, 12, 10);
    for (int i = 0; i < 365; ++i) {
        const qint64 last = 5000 + (i * 37) % 900;
        year.push_back({first.addDays(i), last - 100, last + 100, last, 1});
    }
    year[200].low = 3000; // the lowest, marked
    const QImage image = paint(year);
    const PriceChartLayout layout = LayoutPriceChart(Area, year);
    EXPECT_GE(layout.dayLeft(year.front().day), layout.plot.left());
    EXPECT_LE(layout.dayLeft(year.back().day) + layout.slotWidth(), layout.plot.right() + 1.5);
    EXPECT_EQ(at(image, {layout.dayCentre(year[200].day), layout.priceY(3000)}), ChartLowColor);
    EXPECT_GT(pixelsOf(image, ChartBandColor), 1000);
}

TEST(PriceChart, AGapOfMonthsStaysEmptyBetweenTheBands)
{
    std::vector<DayPrice> days{{QDate(2026, 1, 1), 1000, 1200, 1100, 1},
                               {QDate(2026, 1, 2), 1050, 1250, 1150, 1},
                               {QDate(2026, 6, 1), 2000, 2400, 2200, 2}};
    const QImage image = paint(days);
    const PriceChartLayout layout = LayoutPriceChart(Area, days);
    EXPECT_EQ(at(image, inBand(layout, days[1])), ChartBandColor);
    EXPECT_EQ(at(image, inBand(layout, days[2])), ChartBandColor);
    // Mid-March: no day, so no band at the heights the bands use.
    const double march = layout.dayCentre(QDate(2026, 3, 15));
    for (const qint64 fen : {1100, 1500, 2200})
        EXPECT_NE(at(image, {march, layout.priceY(fen)}), ChartBandColor) << fen;
    EXPECT_EQ(at(image, {layout.dayCentre(days[0].day), layout.priceY(1000)}), ChartLowColor);
}

TEST(PriceChart, WithoutDaysOnlyTheVerdictAndTheNoteAreDrawn)
{
    const QImage image = paint({}, QStringLiteral("记录不足"));
    EXPECT_EQ(pixelsOf(image, ChartBandColor), 0);
    EXPECT_EQ(pixelsOf(image, ChartLowColor), 0);
    EXPECT_GT(darkPixels(image), 100) << "the texts";
}

} // namespace
} // namespace kova
