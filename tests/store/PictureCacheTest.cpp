#include "store/PictureCache.h"
#include "store/Error.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(StorePictureCache, TempDirectoryEndsWithSeparator)
{
    const QString dir = GetTempDirectory();
    ASSERT_FALSE(dir.isEmpty());
    EXPECT_TRUE(dir.endsWith(u'/'));
    EXPECT_FALSE(dir.endsWith(QStringLiteral("//")) && dir != QStringLiteral("//"));
    EXPECT_TRUE(QFileInfo(dir).isDir());
}

TEST(StorePictureCache, NamesFilesInsideTheFolder)
{
    const PictureCache cache(QStringLiteral("/tmp/x/"));
    EXPECT_EQ(cache.folder(), QStringLiteral("/tmp/x/kvpic"));
    EXPECT_EQ(cache.thumbnailPath(QStringLiteral("1234567")), QStringLiteral("/tmp/x/kvpic/1234567.jpg"));
    EXPECT_EQ(cache.largePicturePath(QStringLiteral("1234567")),
              QStringLiteral("/tmp/x/kvpic/1234567_dtp.jpg"));
    EXPECT_EQ(cache.thumbnailPath(QStringLiteral("商品-1.v2")), QStringLiteral("/tmp/x/kvpic/商品-1.v2.jpg"));

    // No temporary directory: the folder is in the working folder.
    const PictureCache local;
    EXPECT_EQ(local.folder(), QStringLiteral("kvpic"));
    EXPECT_EQ(local.thumbnailPath(QStringLiteral("9")), QStringLiteral("kvpic/9.jpg"));
}

TEST(StorePictureCache, RefusesProductNumbersThatLeaveTheFolder)
{
    const QStringList bad = {QString(),
                             QStringLiteral("."),
                             QStringLiteral(".."),
                             QStringLiteral("../../etc/passwd"),
                             QStringLiteral("..\\x"),
                             QStringLiteral("/abs"),
                             QStringLiteral("a/b"),
                             QStringLiteral("a\\b"),
                             QStringLiteral("c:x"),
                             QStringLiteral("a*"),
                             QStringLiteral("a?"),
                             QStringLiteral("a\"b"),
                             QStringLiteral("<a>"),
                             QStringLiteral("a|b"),
                             QStringLiteral("a\nb"),
                             QStringLiteral("a\tb"),
                             QString(QChar(0)) + QStringLiteral("x"),
                             QString(300, u'9')};
    const PictureCache cache(QStringLiteral("/tmp/x/"));
    for (const QString& cph : bad) {
        EXPECT_FALSE(PictureCache::isSafeProductNumber(cph)) << cph.toStdString();
        EXPECT_TRUE(cache.thumbnailPath(cph).isEmpty()) << cph.toStdString();
        EXPECT_TRUE(cache.largePicturePath(cph).isEmpty()) << cph.toStdString();
    }
    for (const QString& cph : {QStringLiteral("..."), QStringLiteral("a..b"), QStringLiteral(".hidden"),
                               QStringLiteral("12345678901"), QStringLiteral("a b")})
        EXPECT_TRUE(PictureCache::isSafeProductNumber(cph)) << cph.toStdString();
}

TEST(StorePictureCache, EnsureFolderCreatesOneLevel)
{
    QTemporaryDir dir;
    const PictureCache cache(dir.path() + QLatin1Char('/'));
    cache.ensureFolder();
    EXPECT_TRUE(QFileInfo(cache.folder()).isDir());
    QFile file(cache.thumbnailPath(QStringLiteral("p1")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    cache.ensureFolder(); // exists: nothing changes
    EXPECT_TRUE(QFile::exists(cache.thumbnailPath(QStringLiteral("p1"))));

    // One level only: a missing parent is an error.
    const PictureCache deep(dir.path() + QStringLiteral("/missing/"));
    EXPECT_THROW(deep.ensureFolder(), Error);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/missing")));

    // A file in the folder's place is an error too.
    QTemporaryDir other;
    QFile blocker(other.path() + QStringLiteral("/kvpic"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        PictureCache(other.path() + QLatin1Char('/')).ensureFolder();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("kvpic"))) << e.what();
    }
}

TEST(StorePictureCache, EmptyTempDirUsesWorkingFolder)
{
    QTemporaryDir dir;
    test::WorkingFolder here(dir.path());
    PictureCache().ensureFolder();
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/kvpic")).isDir());
}

} // namespace
} // namespace kova
