// Painting the result grid of the real main window, thumbnails decoded from their files
// at every paint: one frame of the 1020 x 700 window (about seven rows of 70 pixels), and
// one frame of the grid grown to hold thirty rows.
#include "app/Uzjm.h"
#include "service/Requests.h"
#include "store/Schema.h"
#include "ui/DatasetModel.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int RowCount = 60;

const char* const Merchants[] = {"淘宝网", "天猫商城", "京东商城", "亚马逊",
                                 "当当网", "苏宁易购", "1号店",    "国美在线"};

QByteArray thumbnailJpeg(int n)
{
    QImage image(120, 120, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((n * 37) % 360, 160, 220));
    for (int y = 0; y < 120; y += 8)
        for (int x = 0; x < 120; ++x)
            image.setPixel(x, y, qRgb(x * 2, y * 2, 90)); // some detail for the decoder
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

// A main window in a temporary working folder with a page of result rows, every row with
// its picture record and thumbnail file.
class Fixture {
public:
    Fixture()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("tmp"));
        qputenv("TMPDIR", (m_dir.path() + QStringLiteral("/tmp/")).toUtf8());
        kova::createDatabase(m_dir.path() + QStringLiteral("/kvdb.dat"));
        QDir::setCurrent(m_dir.path());
        // Nothing listens there: the first-run requests fail at once.
        kova::setRequestHostsForTesting(QStringLiteral("http://127.0.0.1:9"),
                                        QStringLiteral("http://127.0.0.1:9"),
                                        QStringLiteral("http://127.0.0.1:9"));
        kova::setMessageHook([](const kova::Message&) { return true; });

        window = std::make_unique<kova::Tfrmkova>();
        window->show();
        QElapsedTimer t;
        t.start();
        while ((window->wbwebb.isLoading() || !window->shown()) && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

        fill();
        window->btn1Click(); // the results view
        window->get_cxnr();
        window->qry1.close();
        window->qry1.setSql(QStringLiteral("select * from tpb where word='bench'"));
        window->qry1.open();
        QCoreApplication::processEvents();
    }
    ~Fixture()
    {
        window.reset();
        kova::setMessageHook({});
        kova::setRequestHostsForTesting({}, {}, {});
    }

    std::unique_ptr<kova::Tfrmkova> window;

private:
    void fill()
    {
        kova::Dataset& rows = window->ADOQuery2;
        rows.close();
        rows.setSql(QStringLiteral("select * from cxnr"));
        rows.open();
        kova::Dataset& pictures = window->qry1;
        pictures.close();
        pictures.setSql(QStringLiteral("select * from tpb"));
        pictures.open();
        const QString folder = window->state().TempDir + QStringLiteral("kvpic/");
        for (int i = 0; i < RowCount; ++i) {
            const QString cph = QStringLiteral("8800%1").arg(i, 5, 10, QLatin1Char('0'));
            rows.append();
            rows.setField(QStringLiteral("bh"), i + 1);
            rows.setField(QStringLiteral("bz1"), QStringLiteral("加载中…"));
            rows.setField(QStringLiteral("bz2"), QStringLiteral("精准比价"));
            rows.setField(QStringLiteral("cph"), cph);
            rows.setField(QStringLiteral("cpmc"),
                          QStringLiteral("华为 Mate 60 Pro 12GB+512GB 雅川青 第%1款").arg(i));
            rows.setField(QStringLiteral("rc"), QString::number(i * 97 % 6000));
            rows.setField(QStringLiteral("jg"),
                          i % 3 == 0 ? QString::number(100 + i) : QStringLiteral("%1.5").arg(i));
            rows.setField(QStringLiteral("sjlx"), QString::fromUtf8(Merchants[i % 8]));
            rows.setField(QStringLiteral("hdxx"), QStringLiteral("满1000减100"));
            rows.setField(QStringLiteral("zpbz"), QStringLiteral("正品"));
            rows.setField(QStringLiteral("pjjb"), QStringLiteral("★★★★"));
            rows.setField(QStringLiteral("check"),
                          i % 4 == 0 ? QStringLiteral("已收藏") : QStringLiteral("点击收藏"));
            rows.post();
            pictures.append();
            pictures.setField(QStringLiteral("word"), QStringLiteral("bench"));
            pictures.setField(QStringLiteral("tpid"), cph);
            pictures.setField(QStringLiteral("bh"), QString::number(i + 1));
            pictures.post();
            QFile file(folder + cph + QStringLiteral(".jpg"));
            if (file.open(QIODevice::WriteOnly))
                file.write(thumbnailJpeg(i));
        }
    }

    QTemporaryDir m_dir;
};

Fixture* fixture = nullptr;

int visibleRows(kova::DBGridEh* grid)
{
    int rows = 0;
    for (int r = 0; r < grid->datasetModel()->rowCount(); ++r)
        if (grid->cellRect(r, 0).intersects(grid->viewport()->rect()))
            ++rows;
    return rows;
}

void BM_PaintWindow1020x700(benchmark::State& state)
{
    kova::Tfrmkova& w = *fixture->window;
    for (auto _ : state) {
        QPixmap frame = w.grab();
        benchmark::DoNotOptimize(frame);
    }
    state.counters["visible_rows"] = visibleRows(w.ui.DBGridEh1);
    state.counters["width"] = w.width();
    state.counters["height"] = w.height();
}
BENCHMARK(BM_PaintWindow1020x700)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintGridOf30Rows(benchmark::State& state)
{
    kova::DBGridEh* grid = fixture->window->ui.DBGridEh1;
    const QSize saved = grid->size();
    const int frame = grid->height() - grid->viewport()->height() - grid->titleRowHeight();
    grid->resize(grid->width(), grid->titleRowHeight() + 30 * grid->defaultRowHeight() + frame);
    for (auto _ : state) {
        QPixmap shot = grid->grab();
        benchmark::DoNotOptimize(shot);
    }
    state.counters["visible_rows"] = visibleRows(grid);
    grid->resize(saved);
}
BENCHMARK(BM_PaintGridOf30Rows)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frame with no picture record, so no thumbnail is decoded: the share of the
// pictures in a frame.
void BM_PaintGridOf30RowsWithoutPictures(benchmark::State& state)
{
    kova::Tfrmkova& w = *fixture->window;
    w.qry1.close();
    BM_PaintGridOf30Rows(state);
    w.qry1.open();
}
BENCHMARK(BM_PaintGridOf30RowsWithoutPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Fixture f;
    fixture = &f;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture = nullptr;
    return 0;
}
