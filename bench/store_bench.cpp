// Appending a result page's worth of rows: 1,000 cxnr rows of 17 columns through the
// Dataset, each posted (committed) on its own, into a fresh database file.
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Schema.h"

#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int rowCount = 1000;

void appendRows(kova::Dataset& ds)
{
    for (int i = 0; i < rowCount; ++i) {
        const QString n = QString::number(i);
        ds.append();
        ds.setField(QStringLiteral("bh"), i + 1);
        ds.setField(QStringLiteral("bz1"), QStringLiteral("加载中…"));
        ds.setField(QStringLiteral("bz2"), QStringLiteral("精准比价"));
        ds.setField(QStringLiteral("cxrq"), 45500);
        ds.setField(QStringLiteral("cph"), QStringLiteral("P10") + n);
        ds.setField(QStringLiteral("cpmc"),
                    QStringLiteral("华为 Mate 60 Pro 12GB+512GB 雅川青 第") + n + QStringLiteral("款"));
        ds.setField(QStringLiteral("xtp"),
                    QStringLiteral("http://127.0.0.1:8938/pic/s") + n + QStringLiteral(".jpg"));
        ds.setField(QStringLiteral("dtp"),
                    QStringLiteral("http://127.0.0.1:8938/pic/b") + n + QStringLiteral(".jpg"));
        ds.setField(QStringLiteral("rc"), QString::number(i * 37 % 5000));
        ds.setField(QStringLiteral("jg"), QString::number(6999 - i) + QStringLiteral(".50"));
        ds.setField(QStringLiteral("cplj"),
                    QStringLiteral("http://127.0.0.1:8938/item?id=") + n + QStringLiteral("&pid=mm_1_2_3"));
        ds.setField(QStringLiteral("sjlx"), QStringLiteral("京东商城"));
        ds.setField(QStringLiteral("cxsj"), QStringLiteral("2024-05-01"));
        ds.setField(QStringLiteral("hdxx"), QStringLiteral("满1000减100"));
        ds.setField(QStringLiteral("zpbz"), QStringLiteral("正品"));
        ds.setField(QStringLiteral("pjjb"), QStringLiteral("★★★★"));
        ds.setField(QStringLiteral("check"), QStringLiteral("点击收藏"));
        ds.post();
    }
}

void BM_AppendPost1000CxnrRows(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/kvdb.dat");
        kova::createDatabase(path);
        kova::Connection connection(path);
        connection.open();
        kova::Dataset ds(connection);
        ds.setSql(QStringLiteral("select * from cxnr order by jg"));
        ds.open();
        state.ResumeTiming();

        appendRows(ds);

        state.PauseTiming();
        if (ds.recordCount() != rowCount)
            state.SkipWithError("rows missing");
        ds.close();
        connection.close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
}
BENCHMARK(BM_AppendPost1000CxnrRows)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
