// The large picture of the preview, fetched from the stand-in server into a real picture
// cache, and the queue of add-to-favorites requests.
#include "results/FavoriteRequestQueue.h"
#include "results/PicturePreview.h"

#include "server/StandInServer.h"
#include "service/HttpClient.h"
#include "store/Error.h"
#include "store/PictureCache.h"
#include "store/Report.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace kova;

namespace {

class LargePicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        cache.ensureFolder();
        standin::ServerOptions options;
        server.start(options);
    }

    QString address(const QString& cph) const
    {
        return server.directoryUrl() + QStringLiteral("/pic/") + cph + QStringLiteral("_b.jpg");
    }
    int pictureRequests() const
    {
        return static_cast<int>(server.log().filter(QStringLiteral("/pic/")).size());
    }

    QTemporaryDir tmp;
    PictureCache cache{tmp.path() + QLatin1Char('/')};
    standin::StandInServer server;
    HttpClient http;
};

TEST_F(LargePicture, DownloadedOnceThenTakenFromTheCache)
{
    const QString cph = QStringLiteral("1234567800001");
    const QImage first = LoadLargePicture(http, cache, cph, address(cph));
    ASSERT_FALSE(first.isNull());
    EXPECT_GE(first.width(), LargePictureSide);
    EXPECT_TRUE(QFileInfo::exists(tmp.path() + QStringLiteral("/kvpic/1234567800001_dtp.jpg")));
    EXPECT_EQ(pictureRequests(), 1);

    const QImage again = LoadLargePicture(http, cache, cph, address(cph));
    EXPECT_EQ(again.size(), first.size());
    EXPECT_EQ(pictureRequests(), 1);
}

TEST_F(LargePicture, UndecodableFileIsReportedRemovedAndFetchedAnewNextTime)
{
    const QString cph = QStringLiteral("55500001");
    const QString path = cache.largePicturePath(cph);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html><body>error</body></html>");
    }
    try {
        LoadLargePicture(http, cache, cph, address(cph));
        FAIL() << "an undecodable picture must not load";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("55500001_dtp.jpg")));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(pictureRequests(), 0);

    EXPECT_FALSE(LoadLargePicture(http, cache, cph, address(cph)).isNull());
    EXPECT_EQ(pictureRequests(), 1);
    EXPECT_TRUE(QFileInfo::exists(path));
}

// A cache folder that cannot be made is said once; a click on a picture then names the
// folder, not the product, and asks nothing of the network.
TEST_F(LargePicture, CacheThatCannotBeMadeIsSaidOnceAndFetchesNothing)
{
    std::vector<QString> said;
    setMessageHook([&](const Message& m) {
        said.push_back(m.text);
        return true;
    });
    const PictureCache missing(tmp.path() + QStringLiteral("/no-such-folder/"));
    EXPECT_FALSE(missing.prepareFolder());
    EXPECT_FALSE(missing.prepareFolder());
    setMessageHook({});
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said.front().contains(QStringLiteral("图片缓存"))) << said.front().toStdString();
    EXPECT_TRUE(missing.isRefused());
    EXPECT_TRUE(missing.thumbnailPath(QStringLiteral("55500001")).isEmpty());
    try {
        LoadLargePicture(http, missing, QStringLiteral("55500001"), address(QStringLiteral("55500001")));
        FAIL() << "no picture can be shown without the cache";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no-such-folder"))) << e.what();
    }
    EXPECT_EQ(pictureRequests(), 0);
}

TEST_F(LargePicture, FailedDownloadsThrowAndLeaveNoFile)
{
    const QString cph = QStringLiteral("77700001");
    const QString path = cache.largePicturePath(cph);
    EXPECT_THROW(
        LoadLargePicture(http, cache, cph, server.directoryUrl() + QStringLiteral("/pic/missing/x.jpg")),
        Error);
    EXPECT_FALSE(QFileInfo::exists(path));

    server.setFault(standin::Fault::HtmlAsPicture);
    EXPECT_THROW(LoadLargePicture(http, cache, cph, address(cph)), Error);
    EXPECT_FALSE(QFileInfo::exists(path));

    server.setFault(standin::Fault::None);
    server.stop();
    EXPECT_THROW(LoadLargePicture(http, cache, cph, address(cph)), Error);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(LargePicture, RefusesAnEmptyAddressAndProductNumbersThatLeaveTheFolder)
{
    EXPECT_THROW(LoadLargePicture(http, cache, QStringLiteral("1"), QString()), Error);
    for (const char* cph : {"", "..", "../x", "a/b", "a\\b"})
        EXPECT_THROW(LoadLargePicture(http, cache, QString::fromLatin1(cph), address(QStringLiteral("1"))),
                     Error)
            << cph;
    EXPECT_EQ(pictureRequests(), 0);
}

TEST(PreviewPlacement, TopIs55AbovePointerLeftStaysAndThePanelStaysInsideTheWindow)
{
    const QRect window(0, 0, 1020, 700);
    const QSize panel(350, 350);
    EXPECT_EQ(ResultPreviewPosition(QPoint(83, 168), 300, panel, window), QPoint(83, 245));
    EXPECT_EQ(ResultPreviewPosition(QPoint(83, 168), 30, panel, window), QPoint(83, 0));
    EXPECT_EQ(ResultPreviewPosition(QPoint(83, 168), 650, panel, window), QPoint(83, 350));
    EXPECT_EQ(ResultPreviewPosition(QPoint(83, 168), 405, panel, window), QPoint(83, 350));
    EXPECT_EQ(ResultPreviewPosition(QPoint(83, 168), 404, panel, window), QPoint(83, 349));
}

TEST(FavoriteQueue, SendsOneAtATimeInOrderAndRefusesADuplicateRow)
{
    FavoriteRequestQueue queue;
    EXPECT_FALSE(queue.startNext());
    EXPECT_FALSE(queue.finish());
    EXPECT_TRUE(queue.add({QStringLiteral("3"), QStringLiteral("a3"), QStringLiteral("u3")}));
    EXPECT_TRUE(queue.add({QStringLiteral("5"), QStringLiteral("a5"), QStringLiteral("u5")}));
    EXPECT_FALSE(queue.add({QStringLiteral("3"), QStringLiteral("a3"), QStringLiteral("again")}));
    // Same row number of another search is another row.
    EXPECT_TRUE(queue.add({QStringLiteral("3"), QStringLiteral("b3"), QStringLiteral("v3")}));

    const auto first = queue.startNext();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->url, QStringLiteral("u3"));
    EXPECT_TRUE(queue.inFlight());
    EXPECT_FALSE(queue.startNext()); // one on its way at a time

    const auto done = queue.finish();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->cph, QStringLiteral("a3"));
    EXPECT_FALSE(queue.contains(QStringLiteral("3"), QStringLiteral("a3")));
    EXPECT_EQ(queue.startNext()->url, QStringLiteral("u5"));
    EXPECT_EQ(queue.finish()->url, QStringLiteral("u5"));
    EXPECT_EQ(queue.startNext()->url, QStringLiteral("v3"));
    EXPECT_EQ(queue.finish()->url, QStringLiteral("v3"));
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_FALSE(queue.finish());
}

} // namespace
