#include "store/JpegLoader.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace kova {
namespace {

QByteArray saveJpeg(const QImage& image, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPG", quality));
    return bytes;
}

// Left half red, right half blue, so orientation and channel order both show.
QImage twoColours(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, QColor(220, 30, 30));
    painter.fillRect(width / 2, 0, width - width / 2, height, QColor(30, 30, 220));
    return image;
}

void expectNear(QRgb actual, QColor wanted, int tolerance = 12)
{
    EXPECT_NEAR(qRed(actual), wanted.red(), tolerance);
    EXPECT_NEAR(qGreen(actual), wanted.green(), tolerance);
    EXPECT_NEAR(qBlue(actual), wanted.blue(), tolerance);
}

// A four-component JPEG written with libjpeg itself (Qt writes none). The samples are in
// Adobe's inverted form (255 - ink), which libjpeg marks with an Adobe marker.
QByteArray cmykJpeg(int width, int height, J_COLOR_SPACE stored, const unsigned char sample[4])
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, stored);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 4);
    for (int x = 0; x < width; ++x)
        std::copy(sample, sample + 4, row.begin() + x * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&cinfo, &line, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

TEST(StoreJpegLoader, DecodesColourPictureToRgb32)
{
    const QByteArray bytes = saveJpeg(twoColours(64, 48));
    EXPECT_TRUE(looksLikeJpeg(bytes));
    const JpegResult result = decodeJpeg(bytes);
    ASSERT_FALSE(result.image.isNull()) << result.error.toStdString();
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.image.size(), QSize(64, 48));
    EXPECT_EQ(result.image.format(), QImage::Format_RGB32);
    expectNear(result.image.pixel(8, 24), QColor(220, 30, 30));
    expectNear(result.image.pixel(56, 24), QColor(30, 30, 220));
    EXPECT_EQ(qAlpha(result.image.pixel(8, 24)), 255);
}

TEST(StoreJpegLoader, DecodesGrayscale)
{
    QImage gray(40, 40, QImage::Format_Grayscale8);
    gray.fill(QColor(90, 90, 90));
    const JpegResult result = decodeJpeg(saveJpeg(gray));
    ASSERT_FALSE(result.image.isNull()) << result.error.toStdString();
    EXPECT_EQ(result.image.format(), QImage::Format_RGB32);
    expectNear(result.image.pixel(20, 20), QColor(90, 90, 90), 4);
}

TEST(StoreJpegLoader, DecodesAdobeCmykAndYcck)
{
    // Ink C=0 M=255 Y=255 K=0 (red) stored inverted as 255, 0, 0, 255.
    const unsigned char red[4] = {255, 0, 0, 255};
    // Ink C=0 M=0 Y=0 K=128 (grey) stored inverted as 255, 255, 255, 127.
    const unsigned char grey[4] = {255, 255, 255, 127};
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        const JpegResult r = decodeJpeg(cmykJpeg(32, 16, stored, red));
        ASSERT_FALSE(r.image.isNull()) << r.error.toStdString();
        EXPECT_EQ(r.image.size(), QSize(32, 16));
        expectNear(r.image.pixel(16, 8), QColor(255, 0, 0), 16);
        const JpegResult g = decodeJpeg(cmykJpeg(16, 16, stored, grey));
        ASSERT_FALSE(g.image.isNull()) << g.error.toStdString();
        expectNear(g.image.pixel(8, 8), QColor(127, 127, 127), 10);
    }
}

TEST(StoreJpegLoader, ScalesToSmallestSizeNotBelowTarget)
{
    const QByteArray bytes = saveJpeg(twoColours(400, 300));
    struct Case {
        QSize target;
        QSize expected;
    };
    const Case cases[] = {
        {QSize(100, 75), QSize(100, 75)},   // 2/8
        {QSize(101, 75), QSize(150, 113)},  // 3/8, rounded up
        {QSize(20, 20), QSize(50, 38)},     // 1/8
        {QSize(399, 10), QSize(400, 300)},  // full size
        {QSize(800, 600), QSize(400, 300)}, // never larger than the picture
        {QSize(), QSize(400, 300)},
    };
    for (const Case& c : cases) {
        const JpegResult result = decodeJpeg(bytes, c.target);
        ASSERT_FALSE(result.image.isNull());
        EXPECT_EQ(result.image.size(), c.expected) << c.target.width() << "x" << c.target.height();
    }
    const JpegResult small = decodeJpeg(bytes, QSize(50, 38));
    expectNear(small.image.pixel(5, 19), QColor(220, 30, 30));
    expectNear(small.image.pixel(45, 19), QColor(30, 30, 220));
}

TEST(StoreJpegLoader, BadInputGivesNullImageAndReason)
{
    const QByteArray good = saveJpeg(twoColours(64, 48));

    QByteArray garbage("\xFF\xD8");
    for (int i = 0; i < 500; ++i)
        garbage.append(static_cast<char>((i * 37 + 11) % 256));
    const QByteArray html("<html><head><title>404</title></head><body>Not found</body></html>");
    QByteArray badHeader = good;
    badHeader[3] = '\x00'; // a marker that is no marker
    badHeader.truncate(40);

    for (const QByteArray& bytes : {QByteArray(), garbage, html, good.left(2), badHeader}) {
        const JpegResult result = decodeJpeg(bytes);
        EXPECT_TRUE(result.image.isNull());
        EXPECT_FALSE(result.error.isEmpty());
    }
    EXPECT_TRUE(decodeJpeg(html).error.contains(QStringLiteral("Not a JPEG")));
    EXPECT_FALSE(looksLikeJpeg(html));
    EXPECT_FALSE(looksLikeJpeg(QByteArray("\xFF\xD8")));
}

TEST(StoreJpegLoader, RefusesAbsurdDimensions)
{
    QByteArray bytes = saveJpeg(twoColours(64, 48));
    // Height and width follow the length and precision of the SOF0 segment.
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    bytes[sof + 5] = static_cast<char>(30000 >> 8);
    bytes[sof + 6] = static_cast<char>(30000 & 0xFF);
    bytes[sof + 7] = static_cast<char>(30000 >> 8);
    bytes[sof + 8] = static_cast<char>(30000 & 0xFF);
    const JpegResult result = decodeJpeg(bytes);
    EXPECT_TRUE(result.image.isNull());
    EXPECT_TRUE(result.error.contains(QStringLiteral("30000"))) << result.error.toStdString();
    EXPECT_EQ(result.failure, JpegFailure::TooLarge);
    EXPECT_TRUE(result.unusable());
}

// The check a download passes before it is kept says no exactly where decoding would.
TEST(StoreJpegLoader, HeaderCheckRefusesWhatTheLoaderRefuses)
{
    const QByteArray good = saveJpeg(twoColours(64, 48));
    EXPECT_TRUE(jpegHeaderProblem(good).isEmpty());
    // At the bound and beyond it, through a patched frame header.
    const qsizetype sof = good.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    const auto withSides = [&](int width, int height) {
        QByteArray bytes = good;
        bytes[sof + 5] = static_cast<char>(height >> 8);
        bytes[sof + 6] = static_cast<char>(height & 0xFF);
        bytes[sof + 7] = static_cast<char>(width >> 8);
        bytes[sof + 8] = static_cast<char>(width & 0xFF);
        return bytes;
    };
    EXPECT_TRUE(jpegHeaderProblem(withSides(20000, 16)).isEmpty());
    EXPECT_TRUE(jpegHeaderProblem(withSides(20001, 16)).contains(QStringLiteral("20001")));
    // libjpeg itself refuses sides over 65500 and a zero height while reading the header.
    for (const QByteArray& bytes : {withSides(65535, 65535), withSides(20001, 16), withSides(16, 0)}) {
        EXPECT_FALSE(jpegHeaderProblem(bytes).isEmpty());
        EXPECT_TRUE(decodeJpeg(bytes, QSize(70, 70)).unusable());
    }
    const QByteArray html("<html><body>Not found</body></html>");
    for (const QByteArray& bytes : {QByteArray(), html, good.left(20)}) {
        EXPECT_FALSE(jpegHeaderProblem(bytes).isEmpty());
        EXPECT_EQ(decodeJpeg(bytes).failure, JpegFailure::Corrupt);
    }
    // A file that cannot be read is no fault of its bytes.
    const JpegResult missing = loadJpegFile(QStringLiteral("/nonexistent/kova/p.jpg"));
    EXPECT_EQ(missing.failure, JpegFailure::Unreadable);
    EXPECT_FALSE(missing.unusable());
}

TEST(StoreJpegLoader, TruncatedFileDecodesWithWarning)
{
    const QByteArray good = saveJpeg(twoColours(256, 256), 95);
    const JpegResult result = decodeJpeg(good.left(good.size() / 2));
    ASSERT_FALSE(result.image.isNull()) << result.error.toStdString();
    EXPECT_EQ(result.image.size(), QSize(256, 256));
    EXPECT_FALSE(result.warning.isEmpty());
    expectNear(result.image.pixel(10, 10), QColor(220, 30, 30));
}

TEST(StoreJpegLoader, LoadsFilesAndReportsMissingOnes)
{
    QTemporaryDir dir;
    const QString picture = dir.path() + QStringLiteral("/p1.jpg");
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(saveJpeg(twoColours(30, 20)));
    file.close();
    EXPECT_EQ(loadJpegFile(picture).image.size(), QSize(30, 20));

    const QString html = dir.path() + QStringLiteral("/p2.jpg");
    QFile page(html);
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<!DOCTYPE html><html><body>moved</body></html>");
    page.close();
    EXPECT_TRUE(loadJpegFile(html).image.isNull());

    const QString empty = dir.path() + QStringLiteral("/p3.jpg");
    QFile(empty).open(QIODevice::WriteOnly);
    const JpegResult none = loadJpegFile(empty);
    EXPECT_TRUE(none.image.isNull());
    EXPECT_FALSE(none.error.isEmpty());

    EXPECT_FALSE(loadJpegFile(dir.path() + QStringLiteral("/missing.jpg")).error.isEmpty());
}

} // namespace
} // namespace kova
