#include "store/Dataset.h"
#include "store/Connection.h"
#include "store/Error.h"
#include "tests/support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kova {
namespace {

class StoreDataset : public ::testing::Test {
protected:
    StoreDataset() : connection(db.path()) { connection.open(); }

    // Opens `ds` on `sql`.
    static void openOn(Dataset& ds, const QString& sql)
    {
        ds.clear();
        ds.add(sql);
        ds.open();
    }

    static QStringList column(Dataset& ds, const QString& name)
    {
        QStringList values;
        for (int row = 0; row < ds.recordCount(); ++row)
            values << ds.fieldAt(row, static_cast<int>(ds.fieldNames().indexOf(name))).toString();
        return values;
    }

    test::TempDatabase db;
    Connection connection;
};

TEST_F(StoreDataset, OpensSelectIntoSnapshotWithFieldsByName)
{
    db.exec(QStringLiteral("insert into word (word, \"count\") values ('手机', 2), ('相机', null)"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from word"));
    EXPECT_TRUE(ds.isActive());
    EXPECT_EQ(ds.fieldNames(), (QStringList{QStringLiteral("word"), QStringLiteral("count")}));
    ASSERT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.recNo(), 1);
    EXPECT_EQ(ds.fieldText(QStringLiteral("WORD")), QStringLiteral("手机"));
    EXPECT_EQ(ds.field(QStringLiteral("Count")).toInt(), 2);
    EXPECT_TRUE(ds.hasField(QStringLiteral("COUNT")));
    EXPECT_FALSE(ds.hasField(QStringLiteral("cph")));
    EXPECT_THROW(ds.field(QStringLiteral("cph")), Error);
    ds.next();
    EXPECT_TRUE(ds.field(QStringLiteral("count")).isNull());
    EXPECT_EQ(ds.fieldText(QStringLiteral("count")), QString());
    EXPECT_EQ(ds.sql(), QStringLiteral("select * from word"));

    // Changing the statement text closes the dataset, as with the query objects.
    ds.clear();
    EXPECT_FALSE(ds.isActive());
    EXPECT_EQ(ds.recNo(), 0);
    EXPECT_TRUE(ds.field(QStringLiteral("word")).isNull());
}

TEST_F(StoreDataset, WalksWithFirstNextEofAndBof)
{
    db.exec(QStringLiteral("insert into tpb (tpid) values ('a'), ('b'), ('c')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from tpb"));
    QStringList seen;
    for (ds.first(); !ds.eof(); ds.next())
        seen << ds.fieldText(QStringLiteral("tpid"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(ds.recNo(), 3);
    ds.prior();
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_FALSE(ds.eof());
    ds.first();
    EXPECT_TRUE(ds.bof());
    ds.prior();
    EXPECT_EQ(ds.recNo(), 1);
    ds.last();
    EXPECT_EQ(ds.fieldText(QStringLiteral("tpid")), QStringLiteral("c"));
    ds.setRecNo(2);
    EXPECT_EQ(ds.fieldText(QStringLiteral("tpid")), QStringLiteral("b"));
    EXPECT_THROW(ds.setRecNo(4), Error);

    openOn(ds, QStringLiteral("select * from tpb where tpid='none'"));
    EXPECT_EQ(ds.recordCount(), 0);
    EXPECT_EQ(ds.recNo(), 0);
    EXPECT_TRUE(ds.eof());
    EXPECT_TRUE(ds.bof());
    EXPECT_TRUE(ds.field(QStringLiteral("tpid")).isNull());
}

TEST_F(StoreDataset, SnapshotIgnoresOtherStatementsUntilReopened)
{
    db.exec(QStringLiteral("insert into cxnr (cph, jg) values ('p1', '10'), ('p2', '20')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from cxnr order by jg"));
    ASSERT_EQ(ds.recordCount(), 2);

    Dataset other(connection);
    openOn(other, QStringLiteral("select * from cxnr"));
    other.first();
    other.edit();
    other.setField(QStringLiteral("jg"), QStringLiteral("30"));
    other.post();
    db.exec(QStringLiteral("insert into cxnr (cph, jg) values ('p3', '5')")); // another connection

    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(column(ds, QStringLiteral("jg")), (QStringList{QStringLiteral("10"), QStringLiteral("20")}));

    ds.open(); // runs the statement again
    EXPECT_EQ(column(ds, QStringLiteral("jg")),
              (QStringList{QStringLiteral("5"), QStringLiteral("20"), QStringLiteral("30")}));

    Dataset deleter(connection);
    deleter.setSql(QStringLiteral("delete from cxnr"));
    deleter.execute();
    EXPECT_EQ(ds.recordCount(), 3);
    ds.open();
    EXPECT_EQ(ds.recordCount(), 0);
}

// Rows appended in a batch are stored one by one but announced once, after the batch, with
// the cursor on the last of them; a change of another kind inside the batch announces the
// rows held back first, so a model never hears of a row out of order.
TEST_F(StoreDataset, AppendBatchAnnouncesItsRowsOnceAtTheEnd)
{
    db.exec(QStringLiteral("create table t (a TEXT)"));
    db.exec(QStringLiteral("insert into t (a) values ('0')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from t"));
    QSignalSpy aboutToInsert(&ds, &Dataset::rowsAboutToBeInserted);
    QSignalSpy inserted(&ds, &Dataset::rowsInserted);
    QSignalSpy current(&ds, &Dataset::currentChanged);
    {
        const Dataset::AppendBatch outer(ds);
        {
            const Dataset::AppendBatch inner(ds);
            for (int i = 1; i <= 3; ++i) {
                ds.append();
                ds.setField(QStringLiteral("a"), QString::number(i));
                ds.post();
            }
        }
        EXPECT_EQ(db.count(QStringLiteral("t")), 4); // stored at once
        EXPECT_EQ(ds.recordCount(), 4);
        EXPECT_TRUE(inserted.isEmpty()); // the outer batch still holds them
        EXPECT_TRUE(current.isEmpty());
    }
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.at(0).at(0).toInt(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 3);
    EXPECT_EQ(aboutToInsert.size(), 1);
    ASSERT_EQ(current.size(), 1);
    EXPECT_EQ(current.at(0).at(0).toInt(), 4);
    EXPECT_EQ(ds.fieldText(QStringLiteral("a")), QStringLiteral("3"));

    inserted.clear();
    QSignalSpy removed(&ds, &Dataset::rowAboutToBeRemoved);
    QStringList order;
    QObject::connect(&ds, &Dataset::rowsInserted,
                     [&](int first, int last) { order << QStringLiteral("ins %1-%2").arg(first).arg(last); });
    QObject::connect(&ds, &Dataset::rowAboutToBeRemoved,
                     [&](int row) { order << QStringLiteral("del %1").arg(row); });
    {
        const Dataset::AppendBatch batch(ds);
        ds.append();
        ds.setField(QStringLiteral("a"), QStringLiteral("4"));
        ds.post();
        ds.deleteRow(); // the row just appended
        ds.append();
        ds.setField(QStringLiteral("a"), QStringLiteral("5"));
        ds.post();
    }
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("ins 4-4"), QStringLiteral("del 4"), QStringLiteral("ins 4-4")}));
    EXPECT_EQ(column(ds, QStringLiteral("a")).join(QLatin1Char(',')), QStringLiteral("0,1,2,3,5"));

    // A reopen inside a batch announces everything by its reset; nothing is announced twice.
    inserted.clear();
    {
        const Dataset::AppendBatch batch(ds);
        ds.append();
        ds.setField(QStringLiteral("a"), QStringLiteral("6"));
        ds.post();
        ds.open();
    }
    EXPECT_TRUE(inserted.isEmpty());
    EXPECT_EQ(ds.recordCount(), 6);
}

// A commit group stores its step whole or not at all: commit() stores it or throws, and a
// group left without it (an error) rolls back. Inside a caller's transaction it leaves both
// to the caller.
TEST_F(StoreDataset, CommitGroupStoresAStepWholeOrNotAtAll)
{
    db.exec(QStringLiteral("create table t (a TEXT NOT NULL)"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from t"));
    const auto add = [&](const QVariant& value) {
        ds.append();
        ds.setField(QStringLiteral("a"), value);
        ds.post();
    };
    {
        CommitGroup group(connection);
        add(QStringLiteral("1"));
        add(QStringLiteral("2"));
        EXPECT_EQ(db.count(QStringLiteral("t")), 0); // another connection sees nothing yet
        group.commit();
    }
    EXPECT_EQ(db.count(QStringLiteral("t")), 2);

    EXPECT_THROW(
        {
            CommitGroup group(connection);
            add(QStringLiteral("3"));
            add(QVariant()); // NOT NULL
            group.commit();
        },
        Error);
    EXPECT_EQ(db.count(QStringLiteral("t")), 2);
    EXPECT_TRUE(sqlite3_get_autocommit(connection.handle()));

    // A file that cannot grow: the step fails as a full disk, with SQLite's text.
    connection.execute(QStringLiteral("PRAGMA max_page_count = ") +
                       db.scalar(QStringLiteral("pragma page_count")));
    try {
        CommitGroup group(connection);
        for (int i = 0; i < 2000; ++i)
            add(QString(200, QLatin1Char('x')));
        group.commit();
        FAIL() << "the file grew past its limit";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("磁盘已满"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("database or disk is full")))
            << e.message().toStdString();
    }
    EXPECT_EQ(db.count(QStringLiteral("t")), 2);
    connection.execute(QStringLiteral("PRAGMA max_page_count = 1073741823"));

    connection.execute(QStringLiteral("BEGIN"));
    {
        CommitGroup group(connection);
        EXPECT_FALSE(group.owns());
        add(QStringLiteral("4"));
        group.commit();
    }
    EXPECT_FALSE(sqlite3_get_autocommit(connection.handle())); // still the caller's
    connection.execute(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(db.count(QStringLiteral("t")), 2);
}

// Rows of a batch whose writes were rolled back leave the snapshot: those held back without
// a word, those another change announced meanwhile as removals; the cursor stays put.
TEST_F(StoreDataset, DiscardedBatchTakesItsRowsOutAgain)
{
    db.exec(QStringLiteral("create table t (a TEXT)"));
    db.exec(QStringLiteral("insert into t values ('1'), ('2'), ('3')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from t"));
    ds.setRecNo(2);
    const auto add = [&](const QString& value) {
        ds.append();
        ds.setField(QStringLiteral("a"), value);
        ds.post();
    };
    QSignalSpy inserted(&ds, &Dataset::rowsInserted);
    QSignalSpy removed(&ds, &Dataset::rowRemoved);
    {
        Dataset::AppendBatch batch(ds);
        add(QStringLiteral("4"));
        add(QStringLiteral("5"));
        batch.discard();
    }
    EXPECT_TRUE(inserted.isEmpty());
    EXPECT_TRUE(removed.isEmpty());
    EXPECT_EQ(column(ds, QStringLiteral("a")),
              (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    EXPECT_EQ(ds.recNo(), 2);

    {
        Dataset::AppendBatch batch(ds);
        add(QStringLiteral("6"));
        EXPECT_TRUE(ds.locate(QStringLiteral("a"), QStringLiteral("1"))); // announces row 6
        add(QStringLiteral("7"));
        ds.append(); // a pending append goes too
        batch.discard();
    }
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_FALSE(ds.isEditing());
    EXPECT_EQ(column(ds, QStringLiteral("a")),
              (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    EXPECT_EQ(ds.recNo(), 2);
    // Later appends go on as usual.
    add(QStringLiteral("8"));
    EXPECT_EQ(ds.recordCount(), 4);
    EXPECT_EQ(ds.fieldText(QStringLiteral("a")), QStringLiteral("8"));
}

TEST_F(StoreDataset, AppendPostsAtOnceAndRereadsDefaults)
{
    db.exec(QStringLiteral("create table t (a TEXT, b TEXT DEFAULT 'dflt', n INTEGER DEFAULT 0)"));
    db.exec(QStringLiteral("insert into t (a) values ('first')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from t"));
    QSignalSpy aboutToInsert(&ds, &Dataset::rowsAboutToBeInserted);
    QSignalSpy inserted(&ds, &Dataset::rowsInserted);
    QSignalSpy current(&ds, &Dataset::currentChanged);

    ds.append();
    EXPECT_TRUE(ds.isEditing());
    ds.setField(QStringLiteral("a"), QStringLiteral("新的"));
    EXPECT_EQ(ds.fieldText(QStringLiteral("a")), QStringLiteral("新的")); // the edit buffer
    EXPECT_EQ(ds.recordCount(), 1);
    ds.post();
    EXPECT_FALSE(ds.isEditing());
    ASSERT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.fieldText(QStringLiteral("b")), QStringLiteral("dflt"));
    EXPECT_EQ(ds.field(QStringLiteral("n")).toInt(), 0);
    EXPECT_FALSE(ds.field(QStringLiteral("n")).isNull());
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.at(0).at(0).toInt(), 1);
    EXPECT_EQ(aboutToInsert.size(), 1);
    ASSERT_FALSE(current.isEmpty());
    EXPECT_EQ(current.last().at(0).toInt(), 2);

    // Committed at once: another connection sees it.
    EXPECT_EQ(db.scalar(QStringLiteral("select b from t where a='新的'")), QStringLiteral("dflt"));

    // An append with nothing set still makes a row of defaults; cancel makes none.
    ds.append();
    ds.post();
    ds.append();
    ds.setField(QStringLiteral("a"), QStringLiteral("dropped"));
    ds.cancel();
    EXPECT_EQ(db.count(QStringLiteral("t")), 3);
    EXPECT_EQ(ds.recordCount(), 3);

    // Moving away from an append posts it, as the query objects do.
    ds.append();
    ds.setField(QStringLiteral("a"), QStringLiteral("moved"));
    ds.first();
    EXPECT_EQ(db.count(QStringLiteral("t")), 4);
    EXPECT_EQ(ds.recordCount(), 4);
}

TEST_F(StoreDataset, EditAndDeleteActOnOneOfTwoIdenticalRows)
{
    db.exec(QStringLiteral("insert into cxnr (cph, jg, \"check\") values ('same', '9', '点击收藏'), "
                           "('same', '9', '点击收藏'), ('other', '1', '点击收藏')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from cxnr order by jg"));
    ASSERT_EQ(ds.recordCount(), 3);
    QSignalSpy changed(&ds, &Dataset::rowChanged);

    ds.setRecNo(3);
    ds.edit();
    ds.setField(QStringLiteral("check"), QStringLiteral("已收藏"));
    ds.post();
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 2);
    EXPECT_EQ(ds.fieldText(QStringLiteral("check")), QStringLiteral("已收藏"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where \"check\"='已收藏'")),
              QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("select rowid from cxnr where \"check\"='已收藏'")),
              QStringLiteral("2"));

    Dataset reopened(connection);
    openOn(reopened, QStringLiteral("select * from cxnr order by jg"));
    EXPECT_EQ(
        column(reopened, QStringLiteral("check")),
        (QStringList{QStringLiteral("点击收藏"), QStringLiteral("点击收藏"), QStringLiteral("已收藏")}));

    ds.setRecNo(2);
    ds.deleteRow();
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 2);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where cph='same'")), QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("select \"check\" from cxnr where cph='same'")),
              QStringLiteral("已收藏"));
}

TEST_F(StoreDataset, DeleteKeepsRecordNumberOrMovesToNewLast)
{
    db.exec(QStringLiteral(
        "insert into scnr (ufid, scsj) values ('u1', '1'), ('u2', '2'), ('u3', '3'), ('u4', '4')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from scnr order by scsj"));
    QSignalSpy removed(&ds, &Dataset::rowRemoved);

    ds.setRecNo(2);
    ds.deleteRow();
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.fieldText(QStringLiteral("ufid")), QStringLiteral("u3"));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(0).toInt(), 1);

    ds.last();
    ds.deleteRow();
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.fieldText(QStringLiteral("ufid")), QStringLiteral("u3"));

    ds.deleteRow();
    ds.deleteRow();
    EXPECT_EQ(ds.recordCount(), 0);
    EXPECT_EQ(ds.recNo(), 0);
    EXPECT_TRUE(ds.eof());
    EXPECT_THROW(ds.deleteRow(), Error);
    EXPECT_THROW(ds.edit(), Error);
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 0);
}

TEST_F(StoreDataset, LocateIsExactAndCaseSensitive)
{
    db.exec(QStringLiteral(
        "insert into word (word) values ('abc '), ('ab'), ('ABC'), ('abc'), ('it''s'), ('手机')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from word"));
    EXPECT_TRUE(ds.locate(QStringLiteral("word"), QStringLiteral("abc")));
    EXPECT_EQ(ds.recNo(), 4);
    EXPECT_TRUE(ds.locate(QStringLiteral("word"), QStringLiteral("ABC")));
    EXPECT_EQ(ds.recNo(), 3);
    EXPECT_FALSE(ds.locate(QStringLiteral("word"), QStringLiteral("a")));
    EXPECT_FALSE(ds.locate(QStringLiteral("word"), QStringLiteral("Abc")));
    EXPECT_EQ(ds.recNo(), 3); // a miss stays
    EXPECT_TRUE(ds.locate(QStringLiteral("WORD"), QStringLiteral("it's")));
    EXPECT_EQ(ds.recNo(), 5);
    EXPECT_TRUE(ds.locate(QStringLiteral("word"), QStringLiteral("手机")));
    EXPECT_EQ(ds.recNo(), 6);
    EXPECT_THROW(ds.locate(QStringLiteral("nosuch"), QStringLiteral("x")), Error);

    // The quoted-literal statement form finds a keyword with a quote.
    openOn(ds, QStringLiteral("select * from word where word='it''s'"));
    EXPECT_EQ(ds.recordCount(), 1);
}

TEST_F(StoreDataset, BoundValuesAreNeverReadAsStatementText)
{
    const QString hostile = QStringLiteral("x' or '1'='1");
    db.exec(
        QStringLiteral("insert into tpb (word, tpid, bh) values ('手机', 'a', '1'), ('it''s', 'b', '2')"));
    Dataset ds(connection);
    ds.setSql(QStringLiteral("select * from tpb where word=?"), {hostile});
    ds.open();
    EXPECT_EQ(ds.recordCount(), 0);
    ds.setSql(QStringLiteral("select * from tpb where word=?"), {QStringLiteral("it's")});
    ds.open();
    ASSERT_EQ(ds.recordCount(), 1);
    EXPECT_EQ(ds.fieldText(QStringLiteral("tpid")), QStringLiteral("b"));
    // A new statement text drops the values of the old one.
    ds.setSql(QStringLiteral("select * from tpb"));
    EXPECT_TRUE(ds.params().isEmpty());

    connection.execute(QStringLiteral("update tpb set tpid=? where word=? and bh=?"),
                       {hostile, QStringLiteral("手机"), QStringLiteral("1")});
    EXPECT_EQ(db.scalar(QStringLiteral("select tpid from tpb where word='手机'")), hostile);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from tpb where tpid=''")), QStringLiteral("0"));
    ds.setSql(QStringLiteral("delete from tpb where word=?"), {hostile});
    ds.execute();
    EXPECT_EQ(db.count(QStringLiteral("tpb")), 2);
    EXPECT_THROW(connection.execute(QStringLiteral("update tpb set tpid=? where nosuch=?"), {1, 2}), Error);
}

TEST_F(StoreDataset, LocateMatchesNumbersAndTextsOfNumbers)
{
    db.exec(QStringLiteral("insert into cxnr (bh, cph) values (7, 'x'), (12, '12')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from cxnr"));
    EXPECT_TRUE(ds.locate(QStringLiteral("bh"), 12));
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_TRUE(ds.locate(QStringLiteral("bh"), QStringLiteral("7")));
    EXPECT_EQ(ds.recNo(), 1);
    EXPECT_TRUE(ds.locate(QStringLiteral("cph"), 12));
    EXPECT_EQ(ds.recNo(), 2);
}

TEST_F(StoreDataset, OrderByUsesNumericCollationAndKeepsExactText)
{
    db.exec(QStringLiteral("insert into cxnr (cph, jg) values ('a', '100'), ('b', '9'), ('c', '58.50'), "
                           "('d', '1288'), ('e', '0.99')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from cxnr order by jg"));
    EXPECT_EQ(column(ds, QStringLiteral("jg")),
              (QStringList{QStringLiteral("0.99"), QStringLiteral("9"), QStringLiteral("58.50"),
                           QStringLiteral("100"), QStringLiteral("1288")}));
}

TEST_F(StoreDataset, ClientSortBothWaysIsStableAndRestores)
{
    // Statement order is insertion order here.
    db.exec(QStringLiteral("insert into cxnr (cph, jg, rc) values ('a', '100', '5'), ('b', '9', '300'), "
                           "('c', '58.50', '40'), ('d', '9', '7'), ('e', null, '1'), ('f', '面议', '2')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from cxnr"));
    ds.setRecNo(3); // 'c'
    QSignalSpy resets(&ds, &Dataset::reset);

    ds.sort(QStringLiteral("jg"));
    EXPECT_EQ(ds.sortSpec(), QStringLiteral("jg"));
    EXPECT_EQ(column(ds, QStringLiteral("cph")),
              (QStringList{QStringLiteral("e"), QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("c"),
                           QStringLiteral("a"), QStringLiteral("f")}));
    EXPECT_EQ(ds.fieldText(QStringLiteral("cph")), QStringLiteral("c")); // the current row stays current
    EXPECT_EQ(ds.fieldText(QStringLiteral("jg")), QStringLiteral("58.50"));
    EXPECT_EQ(resets.size(), 1);

    ds.sort(QStringLiteral("jg desc"));
    EXPECT_EQ(column(ds, QStringLiteral("cph")),
              (QStringList{QStringLiteral("f"), QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("b"),
                           QStringLiteral("d"), QStringLiteral("e")}));

    ds.sort(QStringLiteral("rc DESC"));
    EXPECT_EQ(column(ds, QStringLiteral("rc")),
              (QStringList{QStringLiteral("300"), QStringLiteral("40"), QStringLiteral("7"),
                           QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("1")}));

    // A column without the numeric collation sorts by text.
    ds.sort(QStringLiteral("cxsj, cph DESC"));
    EXPECT_EQ(ds.fieldAt(0, static_cast<int>(ds.fieldNames().indexOf(QStringLiteral("cph")))).toString(),
              QStringLiteral("f"));

    ds.sort(QString());
    EXPECT_EQ(column(ds, QStringLiteral("cph")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                           QStringLiteral("e"), QStringLiteral("f")}));
    EXPECT_THROW(ds.sort(QStringLiteral("nosuch")), Error);
    EXPECT_THROW(ds.sort(QStringLiteral("jg sideways")), Error);

    // Appended rows join the end of the statement order; reopening drops the sort.
    ds.sort(QStringLiteral("jg"));
    ds.append();
    ds.setField(QStringLiteral("cph"), QStringLiteral("g"));
    ds.setField(QStringLiteral("jg"), QStringLiteral("1"));
    ds.post();
    EXPECT_EQ(ds.recNo(), 7);
    ds.sort(QStringLiteral("jg"));
    EXPECT_EQ(column(ds, QStringLiteral("cph")).mid(0, 2),
              (QStringList{QStringLiteral("e"), QStringLiteral("g")}));
    ds.sort(QString());
    EXPECT_EQ(column(ds, QStringLiteral("cph")).last(), QStringLiteral("g"));
    ds.open();
    EXPECT_EQ(ds.sortSpec(), QString());
}

TEST_F(StoreDataset, NonTableSelectIsReadOnly)
{
    db.exec(QStringLiteral("insert into cxnr (cph, jg) values ('a', '2')"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select cph, jg from cxnr"));
    EXPECT_EQ(ds.fieldNames(), (QStringList{QStringLiteral("cph"), QStringLiteral("jg")}));
    EXPECT_EQ(ds.fieldText(QStringLiteral("jg")), QStringLiteral("2"));
    EXPECT_THROW(ds.append(), Error);
    EXPECT_THROW(ds.edit(), Error);
    db.exec(QStringLiteral("insert into cxnr (cph, jg) values ('b', '10')"));
    ds.open();
    ds.sort(QStringLiteral("jg")); // still by value: the column keeps its collation
    EXPECT_EQ(column(ds, QStringLiteral("cph")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_THROW(ds.deleteRow(), Error);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 2);

    openOn(ds, QStringLiteral("SELECT * FROM cxnr WHERE sjlx=\"全部\" ORDER BY jg"));
    EXPECT_EQ(ds.recordCount(), 0);
    ds.append(); // a plain table select, in any letter case, can be changed
    ds.setField(QStringLiteral("sjlx"), QStringLiteral("淘宝网"));
    ds.post();
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from cxnr where sjlx=\"淘宝网\"")),
              QStringLiteral("1"));
}

TEST_F(StoreDataset, ErrorsCarrySqliteMessages)
{
    db.exec(QStringLiteral("drop table cxnr"));
    Dataset ds(connection);
    ds.setSql(QStringLiteral("select * from cxnr order by jg"));
    try {
        ds.open();
        FAIL() << "opened a missing table";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("数据库操作失败：no such table: cxnr"));
    }
    EXPECT_FALSE(ds.isActive());

    ds.setSql(QStringLiteral("delete from cxnr"));
    EXPECT_THROW(ds.execute(), Error);
    EXPECT_THROW(ds.open(), Error); // returns no rows

    ds.setSql(QStringLiteral("select * from word"));
    ds.open();
    EXPECT_THROW(ds.setField(QStringLiteral("word"), QStringLiteral("x")), Error); // not editing
    ds.append();
    EXPECT_THROW(ds.setField(QStringLiteral("nosuch"), 1), Error);

    Connection closed(db.path());
    Dataset noConnection(closed);
    noConnection.setSql(QStringLiteral("select * from word"));
    EXPECT_THROW(noConnection.open(), Error);
}

TEST_F(StoreDataset, TwoConnectionsShareTheFile)
{
    Connection second(db.path());
    second.open();
    Dataset writer(connection);
    Dataset reader(second);
    openOn(writer, QStringLiteral("select * from tpb"));
    openOn(reader, QStringLiteral("select * from tpb"));

    writer.append();
    writer.setField(QStringLiteral("tpid"), QStringLiteral("p1"));
    writer.post();
    reader.open();
    EXPECT_EQ(reader.recordCount(), 1);

    // The reader's connection writes while the writer's dataset stays open.
    reader.append();
    reader.setField(QStringLiteral("tpid"), QStringLiteral("p2"));
    reader.post();
    EXPECT_EQ(writer.recordCount(), 1);
    writer.open();
    EXPECT_EQ(writer.recordCount(), 2);
}

TEST_F(StoreDataset, KeepsWorkingAcrossAConnectionReopen)
{
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from tpb"));
    ds.append();
    ds.setField(QStringLiteral("tpid"), QStringLiteral("before"));
    ds.post();

    // The show step closes and reopens the connection under open query objects.
    connection.close();
    connection.open();
    ds.append();
    ds.setField(QStringLiteral("tpid"), QStringLiteral("after"));
    ds.post();
    ds.first();
    ds.edit();
    ds.setField(QStringLiteral("bh"), QStringLiteral("1"));
    ds.post();
    EXPECT_EQ(db.count(QStringLiteral("tpb")), 2);
    EXPECT_EQ(db.scalar(QStringLiteral("select bh from tpb where tpid='before'")), QStringLiteral("1"));
}

TEST_F(StoreDataset, SecondThreadReadsWhileRowsArePosted)
{
    // The thumbnail fetcher walks its own cursor over cxnr on the shared connection
    // while the window's thread appends.
    std::atomic<bool> done = false;
    std::atomic<int> failures = 0;
    std::atomic<int> passes = 0;
    std::thread reader([&] {
        Dataset walker(connection);
        walker.setSql(QStringLiteral("select * from cxnr order by jg"));
        do {
            try {
                walker.open();
                for (walker.first(); !walker.eof(); walker.next())
                    (void)walker.fieldText(QStringLiteral("cph"));
                ++passes;
            } catch (const Error&) {
                ++failures;
            }
        } while (!done);
    });
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from cxnr order by jg"));
    for (int i = 0; i < 200; ++i) {
        ds.append();
        ds.setField(QStringLiteral("cph"), QString::number(i));
        ds.setField(QStringLiteral("jg"), QString::number(i % 17));
        ds.post();
    }
    done = true;
    reader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(passes, 0);
    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 200);
}

TEST_F(StoreDataset, SignalsLetAModelFollow)
{
    db.exec(QStringLiteral("insert into tpb (tpid) values ('a'), ('b')"));
    Dataset ds(connection);
    QSignalSpy resets(&ds, &Dataset::reset);
    QSignalSpy aboutToReset(&ds, &Dataset::aboutToReset);
    QSignalSpy aboutToRemove(&ds, &Dataset::rowAboutToBeRemoved);
    int countWhenAboutToRemove = -1;
    QObject::connect(&ds, &Dataset::rowAboutToBeRemoved, [&] { countWhenAboutToRemove = ds.recordCount(); });
    openOn(ds, QStringLiteral("select * from tpb"));
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(aboutToReset.size(), 1);
    ds.deleteRow();
    EXPECT_EQ(aboutToRemove.size(), 1);
    EXPECT_EQ(countWhenAboutToRemove, 2);
    ds.close();
    EXPECT_EQ(resets.size(), 2);
    EXPECT_FALSE(ds.isActive());
    EXPECT_EQ(ds.recordCount(), 0);
}

} // namespace
} // namespace kova

namespace kova {
namespace {

// Short texts read from the table are shared between rows; every value still reads as
// stored, past the number of texts kept for sharing, and a row edited leaves the rows that
// shared its text as they were.
TEST_F(StoreDataset, SharedShortTextsReadAsStoredAndStayApart)
{
    db.exec(QStringLiteral(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 6000) "
        "insert into tpb (word, tpid, bh) select '当当网', 'p' || i, case when i % 5 = 0 then null "
        "when i % 5 = 1 then '商品名称很长很长很长很长很长很长很长很长很长很长很长' || i else '标签' || (i % "
        "7) end from n"));
    Dataset ds(connection);
    openOn(ds, QStringLiteral("select * from tpb order by rowid"));
    ASSERT_EQ(ds.recordCount(), 6000);
    const auto expected = [&](const char* field) {
        return db.scalar(
            QStringLiteral("select group_concat(coalesce(%1, '<null>'), '|') from (select %1 from tpb "
                           "order by rowid)")
                .arg(QString::fromLatin1(field)));
    };
    const auto read = [&](const QString& field) {
        QStringList values;
        const int column = static_cast<int>(ds.fieldNames().indexOf(field));
        for (int row = 0; row < ds.recordCount(); ++row) {
            const QVariant value = ds.fieldAt(row, column);
            values << (value.isNull() ? QStringLiteral("<null>") : value.toString());
        }
        return values.join(QLatin1Char('|'));
    };
    for (const char* field : {"word", "tpid", "bh"})
        EXPECT_EQ(read(QString::fromLatin1(field)), expected(field)) << field;

    ds.setRecNo(3); // bh "标签3", as row 17 has it
    ds.edit();
    ds.setField(QStringLiteral("bh"), QStringLiteral("改了"));
    ds.post();
    ds.append();
    ds.setField(QStringLiteral("word"), QStringLiteral("当当网"));
    ds.setField(QStringLiteral("bh"), QStringLiteral("标签3"));
    ds.post();
    EXPECT_EQ(ds.fieldText(QStringLiteral("bh")), QStringLiteral("标签3"));
    EXPECT_EQ(read(QStringLiteral("bh")), expected("bh"));
    EXPECT_EQ(ds.fieldAt(16, static_cast<int>(ds.fieldNames().indexOf(QStringLiteral("bh")))).toString(),
              QStringLiteral("标签3"));
}

} // namespace
} // namespace kova
