// What the standard error report shows of the store's failures: a Chinese text first, the
// technical detail (the file, SQLite's or libjpeg's own text) after it.
#include "store/Cipher.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Error.h"
#include "store/JpegLoader.h"
#include "store/PictureCache.h"
#include "store/Report.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace kova {
namespace {

QString thrownText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return UserErrorText(e);
    }
    return QStringLiteral("(no error)");
}

// The message opens with a Chinese character and ends with the detail, when one is given.
void expectChinese(const QString& text, const QString& detail = {})
{
    ASSERT_FALSE(text.isEmpty());
    const char16_t first = text.at(0).unicode();
    EXPECT_TRUE(first >= 0x4E00 && first <= 0x9FFF) << text.toStdString();
    if (!detail.isEmpty())
        EXPECT_TRUE(text.endsWith(detail)) << text.toStdString();
}

TEST(StoreErrorTexts, DatabaseFailuresReadChineseWithSqlitesText)
{
    test::TempDatabase db;
    Connection missing(db.folder() + QStringLiteral("/nosuch.dat"));
    const QString open = thrownText([&] { missing.open(); });
    expectChinese(open, QStringLiteral("unable to open database file"));
    EXPECT_TRUE(open.contains(QStringLiteral("nosuch.dat"))) << open.toStdString();

    Connection connection(db.path());
    connection.open();
    EXPECT_EQ(thrownText([&] { connection.execute(QStringLiteral("select * from nosuch")); }),
              QStringLiteral("数据库操作失败：no such table: nosuch"));
    EXPECT_EQ(thrownText([&] { connection.execute(QStringLiteral("delete from nosuch where a=?"), {1}); }),
              QStringLiteral("数据库操作失败：no such table: nosuch"));

    Dataset ds(connection);
    ds.setSql(QStringLiteral("select * from cxnr"));
    EXPECT_EQ(thrownText([&] { ds.first(); }), QStringLiteral("数据集没有打开"));
    ds.open();
    EXPECT_EQ(thrownText([&] { ds.edit(); }), QStringLiteral("数据集是空的，没有可以修改的记录"));
    ds.append();
    EXPECT_EQ(thrownText([&] { ds.setField(QStringLiteral("nosuch"), 1); }),
              QStringLiteral("找不到字段：nosuch"));
    ds.cancel();
    expectChinese(thrownText([&] { ds.sort(QStringLiteral("jg sideways")); }), QStringLiteral("jg sideways"));
    expectChinese(thrownText([&] { ds.setRecNo(7); }));
    connection.close();
    EXPECT_EQ(thrownText([&] { connection.execute(QStringLiteral("delete from cxnr")); }),
              QStringLiteral("数据库连接没有打开"));
}

TEST(StoreErrorTexts, CipherPicturesAndFoldersReadChineseWithTheirDetail)
{
    EXPECT_EQ(thrownText([] { Decipher(QStringLiteral("7G"), DefaultCipherKey); }),
              QStringLiteral("密文无法解密：不是十六进制数（7G）"));
    expectChinese(thrownText([] { Decipher(QStringLiteral("7"), DefaultCipherKey); }),
                  QStringLiteral("（7）"));

    const JpegResult garbage = decodeJpeg(QByteArray("not a picture at all"));
    EXPECT_TRUE(garbage.image.isNull());
    EXPECT_TRUE(garbage.error.startsWith(QStringLiteral("图片无法解码："))) << garbage.error.toStdString();
    EXPECT_GT(garbage.error.size(), QStringLiteral("图片无法解码：").size()); // libjpeg's own text follows
    expectChinese(decodeJpeg(QByteArray()).error);
    const JpegResult absent = loadJpegFile(QStringLiteral("/nonexistent/p.jpg"));
    expectChinese(absent.error, QStringLiteral("No such file or directory"));
    EXPECT_TRUE(absent.error.contains(QStringLiteral("/nonexistent/p.jpg")));

    QTemporaryDir dir;
    const QString folder =
        thrownText([&] { PictureCache(dir.path() + QStringLiteral("/missing/")).ensureFolder(); });
    expectChinese(folder, QStringLiteral("No such file or directory"));
    EXPECT_TRUE(folder.contains(dir.path() + QStringLiteral("/missing/kvpic"))) << folder.toStdString();
}

TEST(StoreErrorTexts, ForeignFailuresGetAChineseLead)
{
    EXPECT_EQ(thrownText([] { throw std::runtime_error("boom"); }), QStringLiteral("程序内部错误：boom"));
    EXPECT_EQ(thrownText([] { throw std::bad_alloc(); }),
              QStringLiteral("程序内部错误：内存不足（std::bad_alloc）"));

    std::vector<Message> shown;
    setMessageHook([&](const Message& m) {
        shown.push_back(m);
        return true;
    });
    Guarded([] { throw std::out_of_range("index 9"); });
    Guarded([] { throw Error(QStringLiteral("数据集没有打开")); });
    setMessageHook({});
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0].text, QStringLiteral("程序内部错误：index 9"));
    EXPECT_EQ(shown[0].caption, ApplicationTitle);
    EXPECT_EQ(shown[1].text, QStringLiteral("数据集没有打开"));
}

} // namespace
} // namespace kova
