#include "store/PackedRow.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Statement.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

class StorePackedRow : public ::testing::Test {
protected:
    StorePackedRow() : connection(db.path()) { connection.open(); }

    test::TempDatabase db;
    Connection connection;
};

// Two values are the same as a reader sees them: the type, null or not, and the content.
void expectSame(const QVariant& packed, const QVariant& direct, const std::string& what)
{
    ASSERT_EQ(packed.typeId(), direct.typeId()) << what;
    EXPECT_EQ(packed.isNull(), direct.isNull()) << what;
    switch (direct.typeId()) {
    case QMetaType::QString:
        EXPECT_EQ(packed.toString(), direct.toString()) << what;
        EXPECT_EQ(packed.toString().isNull(), direct.toString().isNull()) << what;
        break;
    case QMetaType::QByteArray:
        EXPECT_EQ(packed.toByteArray(), direct.toByteArray()) << what;
        EXPECT_EQ(packed.toByteArray().isNull(), direct.toByteArray().isNull()) << what;
        break;
    case QMetaType::Double:
        EXPECT_EQ(packed.toDouble(), direct.toDouble()) << what;
        break;
    default:
        EXPECT_EQ(packed, direct) << what;
        break;
    }
}

// Every kind of value SQLite hands out, odd ones included, reads back from a packed row
// exactly as the statement gives it.
TEST_F(StorePackedRow, EveryValueReadsAsTheStatementGivesIt)
{
    const QString values = QStringLiteral(
        "null, 0, -1, 2147483647, 2147483648, -9223372036854775808, 9223372036854775807, 0.5, -1e300, "
        "'', 'plain', '蒙牛 纯牛奶 250ml*12盒', 'a' || char(0) || 'b', cast(x'C3' as text), "
        "cast(x'61FF62E4B8' as text), cast(x'EDA080' as text), x'', x'00FF10', zeroblob(3), "
        "replace(hex(zeroblob(100)), '0', '长'), hex(zeroblob(20000)), '当当网', '当当网'");
    Statement select(connection.handle(), (QStringLiteral("select ") + values).toUtf8());
    ASSERT_TRUE(select.step());
    const int count = select.columnCount();
    TextPool pool;
    const PackedRow row = PackedRow::read(select.get(), 0, count, count + 2, pool);
    ASSERT_FALSE(row.isEmpty());
    for (int i = 0; i < count; ++i)
        expectSame(row.value(i, pool), select.value(i), "column " + std::to_string(i));
    // Columns past those read are null.
    EXPECT_FALSE(row.value(count, pool).isValid());
    EXPECT_FALSE(row.value(count + 1, pool).isValid());
    // All of them at once, as an edit takes them.
    const std::vector<QVariant> all = row.values(count, pool);
    ASSERT_EQ(static_cast<int>(all.size()), count);
    for (int i = 0; i < count; ++i)
        expectSame(all[static_cast<size_t>(i)], select.value(i), "values() column " + std::to_string(i));
    // A text as stored for comparing is the UTF-8 of what it reads as, never bad bytes.
    for (int i = 0; i < count; ++i) {
        const PackedRow::Ref ref = row.ref(i, pool);
        if (ref.kind == PackedRow::Kind::Text) {
            EXPECT_TRUE(ref.bytes.isValidUtf8()) << i;
            EXPECT_EQ(QString::fromUtf8(ref.bytes), select.value(i).toString()) << i;
        }
    }
    // Packing the values again gives the same row.
    const PackedRow again = PackedRow::pack(all, pool);
    for (int i = 0; i < count; ++i)
        expectSame(again.value(i, pool), select.value(i), "pack() column " + std::to_string(i));
}

// A recurring short text is kept once; a long one, and every text past the pool's size,
// is kept in its row, and all of them read as stored.
TEST_F(StorePackedRow, SharesShortTextsUpToThePoolsSize)
{
    TextPool pool;
    const std::vector<QVariant> first{QStringLiteral("天猫商城"), QStringLiteral("包邮")};
    const PackedRow a = PackedRow::pack(first, pool);
    const PackedRow b = PackedRow::pack(first, pool);
    EXPECT_EQ(pool.size(), 2);
    EXPECT_EQ(a.value(0, pool).toString().constData(), b.value(0, pool).toString().constData());

    const QString longText(TextPool::MaxBytes + 1, QLatin1Char('x'));
    std::vector<PackedRow> rows;
    std::vector<QString> texts;
    for (int i = 0; i < TextPool::MaxTexts + 100; ++i) {
        texts.push_back(QStringLiteral("标签%1").arg(i));
        rows.push_back(PackedRow::pack({texts.back(), longText + QString::number(i)}, pool));
    }
    EXPECT_EQ(pool.size(), TextPool::MaxTexts);
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].value(0, pool).toString(), texts[i]) << i;
        ASSERT_EQ(rows[i].value(1, pool).toString(), longText + QString::number(static_cast<int>(i))) << i;
    }
    EXPECT_EQ(pool.intern(""), -1);
}

// A dataset sorts and locates on the packed values as it did on QVariants: numbers by value
// across integers and reals, texts of the numeric collation by their number, then texts,
// then blobs; a text that was not valid UTF-8 is found as it reads.
TEST_F(StorePackedRow, DatasetSortsAndLocatesPackedValues)
{
    db.exec(QStringLiteral("create table t (v, n text collate KOVANUM)"));
    db.exec(QStringLiteral("insert into t values (x'01', '10'), ('b', '9.5'), (2.5, '100'), (null, 'x'), "
                           "(3, '-1'), ('a', '9'), (cast(x'61FF' as text), '')"));
    Dataset ds(connection);
    ds.setSql(QStringLiteral("select * from t"));
    ds.open();
    ds.sort(QStringLiteral("v"));
    QStringList order;
    for (int row = 0; row < ds.recordCount(); ++row)
        order << ds.fieldAt(row, 1).toString();
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("x"), QStringLiteral("100"), QStringLiteral("-1"),
                           QStringLiteral("9"), QString(), QStringLiteral("9.5"), QStringLiteral("10")}));
    ds.sort(QStringLiteral("n desc"));
    order.clear();
    for (int row = 0; row < ds.recordCount(); ++row)
        order << ds.fieldAt(row, 1).toString();
    // The numeric collation orders numbers by value; "x" and "" are no numbers and come
    // after them, so first when descending.
    EXPECT_EQ(order.mid(2), (QStringList{QStringLiteral("100"), QStringLiteral("10"), QStringLiteral("9.5"),
                                         QStringLiteral("9"), QStringLiteral("-1")}))
        << order.join(u',').toStdString();
    EXPECT_LT(order.indexOf(QStringLiteral("100")), order.indexOf(QStringLiteral("10")));
    EXPECT_LT(order.indexOf(QStringLiteral("10")), order.indexOf(QStringLiteral("9.5")));
    EXPECT_LT(order.indexOf(QStringLiteral("9.5")), order.indexOf(QStringLiteral("9")));
    EXPECT_LT(order.indexOf(QStringLiteral("9")), order.indexOf(QStringLiteral("-1")));

    EXPECT_TRUE(ds.locate(QStringLiteral("v"), QString(QStringLiteral("a")) + QChar(0xFFFD)));
    EXPECT_EQ(ds.fieldText(QStringLiteral("n")), QString());
    EXPECT_TRUE(ds.locate(QStringLiteral("v"), QStringLiteral("2.5")));
    EXPECT_EQ(ds.fieldText(QStringLiteral("n")), QStringLiteral("100"));
    EXPECT_TRUE(ds.locate(QStringLiteral("v"), 3));
    EXPECT_EQ(ds.fieldText(QStringLiteral("n")), QStringLiteral("-1"));
    EXPECT_FALSE(ds.locate(QStringLiteral("v"), QStringLiteral("A")));
}

} // namespace
} // namespace kova
