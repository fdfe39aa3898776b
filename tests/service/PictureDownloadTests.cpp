#include "service/HttpClient.h"
#include "service/PictureDownload.h"
#include "store/PictureCache.h"
#include "tests/service/StandInFixture.h"

#include <QDir>
#include <QFile>

#include <thread>

using kova::downloadPicture;
using kova::fetchMissingThumbnail;
using kova::HttpClient;
using kova::PictureCache;
using kova::SilentHosts;
using kova::ThumbnailFailures;
using kova::ThumbnailFetch;
using kova::standin::Fault;

namespace {

class PictureDownloadTest : public kova::test::StandInTest {
protected:
    void SetUp() override
    {
        StandInTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString picture(const QString& cph) const
    {
        return server().directoryUrl() + QStringLiteral("/pic/") + cph + QStringLiteral(".jpg");
    }
    QString target(const QString& name) const { return m_dir.filePath(name); }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
    HttpClient m_http;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(PictureDownloadTest, SavesAJpegOnceAndNeverFetchesItAgain)
{
    EXPECT_TRUE(downloadPicture(m_http, picture(QStringLiteral("102400010001")),
                                target(QStringLiteral("102400010001.jpg"))));
    const QByteArray saved = readAll(target(QStringLiteral("102400010001.jpg")));
    EXPECT_TRUE(kova::isCompleteJpeg(saved));
    EXPECT_EQ(saved, m_http.get(picture(QStringLiteral("102400010001"))).body);
    server().clearLog();

    EXPECT_FALSE(downloadPicture(m_http, picture(QStringLiteral("102400010001")),
                                 target(QStringLiteral("102400010001.jpg"))));
    EXPECT_TRUE(server().log().isEmpty());
    EXPECT_EQ(files(), QStringList{QStringLiteral("102400010001.jpg")}); // no temporary left behind
}

TEST_F(PictureDownloadTest, AnythingButACompleteJpegLeavesNoFile)
{
    const QString path = target(QStringLiteral("7.jpg"));
    EXPECT_THROW(downloadPicture(m_http, picture(QStringLiteral("not-a-name")), path), kova::Error); // 404
    const std::pair<Fault, const char*> faults[] = {{Fault::HtmlAsPicture, "html page with 200"},
                                                    {Fault::TruncatedJpeg, "half a jpeg with 200"},
                                                    {Fault::DropMidBody, "connection dropped"},
                                                    {Fault::ErrorStatus, "status 500"}};
    for (const auto& [fault, what] : faults) {
        server().setFault(fault);
        EXPECT_THROW(downloadPicture(m_http, picture(QStringLiteral("7")), path), kova::Error) << what;
        EXPECT_TRUE(files().isEmpty()) << what;
    }
    EXPECT_THROW(downloadPicture(
                     m_http, kova::test::StandInTest::closedPortUrl() + QStringLiteral("/pic/7.jpg"), path),
                 kova::Error);
    EXPECT_TRUE(files().isEmpty());

    // The next writer of the product tries again.
    server().setFault(Fault::None);
    EXPECT_TRUE(downloadPicture(m_http, picture(QStringLiteral("7")), path));
}

// A picture that trickles, and one whose header no decoder with a bound would take: no
// file, so the next search tries again.
TEST_F(PictureDownloadTest, TricklingOrUndecodablePictureLeavesNoFile)
{
    const QString path = target(QStringLiteral("8.jpg"));
    {
        const kova::test::LowSpeedTime bound(std::chrono::seconds(1));
        server().setFault(Fault::Trickle);
        ThumbnailFailures failures;
        EXPECT_EQ(fetchMissingThumbnail(m_http, PictureCache(m_dir.path() + QStringLiteral("/")),
                                        QStringLiteral("8"), picture(QStringLiteral("8")), &failures),
                  ThumbnailFetch::Failed);
        EXPECT_TRUE(failures.failed(QStringLiteral("8")));
        server().setFault(Fault::None);
    }
    const QString huge = server().directoryUrl() + QStringLiteral("/pic/huge/8.jpg");
    try {
        downloadPicture(m_http, huge, path);
        ADD_FAILURE() << "an undecodable picture was saved";
    } catch (const kova::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("无法使用"))) << e.message().toStdString();
    }
    EXPECT_TRUE(files().isEmpty()) << files().join(u' ').toStdString();
    EXPECT_TRUE(downloadPicture(m_http, picture(QStringLiteral("8")), path));
}

TEST_F(PictureDownloadTest, UnsafeTargetsAreRefusedBeforeAnyRequest)
{
    for (const QString& name :
         {QStringLiteral("sub/../x.jpg"), QStringLiteral("a\\b.jpg"), QStringLiteral("..")}) {
        EXPECT_THROW(downloadPicture(m_http, picture(QStringLiteral("8")), target(name)), kova::Error)
            << name.toStdString();
    }
    EXPECT_TRUE(server().log().isEmpty());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(PictureDownloadTest, TwoWritersOfOnePictureLeaveOneWholeFile)
{
    const QString path = target(QStringLiteral("9.jpg"));
    auto writer = [&] {
        HttpClient http;
        for (int i = 0; i < 5; ++i) {
            try {
                downloadPicture(http, picture(QStringLiteral("9")), path);
            } catch (const kova::Error&) {
                ADD_FAILURE() << "a writer failed";
            }
            QFile::remove(path);
        }
        downloadPicture(http, picture(QStringLiteral("9")), path);
    };
    std::thread a(writer);
    std::thread b(writer);
    a.join();
    b.join();
    EXPECT_TRUE(kova::isCompleteJpeg(readAll(path)));
    EXPECT_EQ(files(), QStringList{QStringLiteral("9.jpg")});
}

// A host that fails as a whole is asked once per run; one that only lacks a picture is not
// held against the others it serves.
TEST_F(PictureDownloadTest, SilentHostsAreAskedOnceAndAMissingPictureSilencesNothing)
{
    QDir(m_dir.path()).mkdir(QStringLiteral("kvpic"));
    const PictureCache cache(m_dir.path() + QLatin1Char('/'));
    SilentHosts silent;
    const QString missing = server().directoryUrl() + QStringLiteral("/pic/missing/1.jpg");
    EXPECT_EQ(fetchMissingThumbnail(m_http, cache, QStringLiteral("1"), missing, nullptr, &silent),
              ThumbnailFetch::Failed);
    EXPECT_EQ(silent.count(), 0);
    EXPECT_EQ(fetchMissingThumbnail(m_http, cache, QStringLiteral("2"), picture(QStringLiteral("2")), nullptr,
                                    &silent),
              ThumbnailFetch::Saved);

    server().setFault(Fault::ErrorStatus);
    server().clearLog();
    ThumbnailFailures failures;
    for (const char* cph : {"3", "4", "5"})
        EXPECT_EQ(fetchMissingThumbnail(m_http, cache, QString::fromLatin1(cph),
                                        picture(QString::fromLatin1(cph)), &failures, &silent),
                  ThumbnailFetch::Failed);
    EXPECT_EQ(silent.count(), 1);
    EXPECT_EQ(server().log().size(), 1);
    EXPECT_TRUE(failures.failed(QStringLiteral("5")));

    // Refused connections silence their host too; another host is still asked.
    const QString refused = QStringLiteral("http://127.0.0.1:9/pic/6.jpg");
    fetchMissingThumbnail(m_http, cache, QStringLiteral("6"), refused, nullptr, &silent);
    EXPECT_TRUE(silent.contains(QStringLiteral("http://127.0.0.1:9/pic/7.jpg")));
    EXPECT_EQ(silent.count(), 2);
}

TEST(PictureBody, OnlyACompleteJpegCounts)
{
    EXPECT_FALSE(kova::isCompleteJpeg(QByteArray()));
    EXPECT_FALSE(kova::isCompleteJpeg("<html><body>404</body></html>"));
    EXPECT_FALSE(kova::isCompleteJpeg(QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(500, 'x')));
    EXPECT_TRUE(kova::isCompleteJpeg(QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(500, 'x') + "\xFF\xD9"));
    EXPECT_TRUE(kova::isCompleteJpeg(QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(500, 'x') + "\xFF\xD9" +
                                     QByteArray(10, '\0')));
}
