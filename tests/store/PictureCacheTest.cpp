#include "store/PictureCache.h"
#include "store/Error.h"
#include "store/Report.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

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

// TMPDIR when set; otherwise the user's own cache folder, made private, never a shared /tmp.
TEST(StorePictureCache, TempDirectoryIsTheUsersOwn)
{
    QTemporaryDir home;
    const QString h = home.path();
    EXPECT_EQ(TempDirectoryFor(QStringLiteral("/var/tmp/me"), h + QStringLiteral("/xdg"), h),
              QStringLiteral("/var/tmp/me/"));
    EXPECT_FALSE(QFileInfo::exists(h + QStringLiteral("/xdg")));

    const QString fromXdg = TempDirectoryFor({}, h + QStringLiteral("/xdg"), h);
    EXPECT_EQ(fromXdg, h + QStringLiteral("/xdg/kova/"));
    const QString fromHome = TempDirectoryFor({}, {}, h);
    EXPECT_EQ(fromHome, h + QStringLiteral("/.cache/kova/"));
    // A relative XDG_CACHE_HOME does not count.
    EXPECT_EQ(TempDirectoryFor({}, QStringLiteral("rel"), h), fromHome);
    // Private to the user, and so is the cache folder inside.
    const PictureCache cache(fromHome);
    cache.ensureFolder();
    for (const QString& dir : {fromXdg, fromHome, cache.folder()}) {
        EXPECT_TRUE(IsOwnFolder(dir));
        EXPECT_EQ(QFileInfo(dir).permissions() &
                      ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
            << dir.toStdString();
    }

    // Neither set: no temporary directory (the working folder serves).
    EXPECT_EQ(TempDirectoryFor({}, {}, {}), QString());
}

// A folder that belongs to someone else is never used: reported once, and no picture path
// leads into it, so nothing is saved there or shown from it.
TEST(StorePictureCache, AnotherUsersFolderIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    QTemporaryDir dir;
    const QString temp = dir.path() + QLatin1Char('/');
    const QString folder = temp + QStringLiteral("kvpic");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);

    std::vector<Message> messages;
    setMessageHook([&](const Message& m) {
        messages.push_back(m);
        return true;
    });
    const PictureCache cache(temp);
    EXPECT_FALSE(cache.isRefused());
    EXPECT_NO_THROW(cache.ensureFolder());
    EXPECT_NO_THROW(PictureCache(temp).ensureFolder()); // every page load ensures it again
    setMessageHook({});

    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_EQ(
        messages[0].text,
        QStringLiteral("图片缓存文件夹 %1 不属于当前用户，不能使用；本次运行不显示商品图片。").arg(folder));
    EXPECT_TRUE(cache.isRefused());
    EXPECT_TRUE(cache.thumbnailPath(QStringLiteral("p1")).isEmpty());
    EXPECT_TRUE(cache.largePicturePath(QStringLiteral("p1")).isEmpty());

    // A link in the folder's place is refused as well: it may lead anywhere.
    QTemporaryDir other;
    const QString target = other.path() + QStringLiteral("/elsewhere");
    ASSERT_TRUE(QDir().mkdir(target));
    ASSERT_TRUE(QFile::link(target, other.path() + QStringLiteral("/kvpic")));
    const PictureCache linked(other.path() + QLatin1Char('/'));
    setMessageHook([](const Message&) { return true; });
    linked.ensureFolder();
    setMessageHook({});
    EXPECT_TRUE(linked.isRefused());
    EXPECT_TRUE(linked.thumbnailPath(QStringLiteral("p1")).isEmpty());
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
