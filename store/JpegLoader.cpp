#include "JpegLoader.h"

#include <QFile>
#include <QtEndian>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstring>

#include <jpeglib.h>

namespace kova {
namespace {

// Pictures larger than this on a side are refused rather than decoded into memory.
constexpr JDIMENSION maxSide = 20000;
constexpr quint64 maxPixels = 50'000'000;

// The error manager: errors jump back to the decoder instead of ending the process,
// and messages are kept for the caller instead of going to stderr.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onOutputMessage(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->warning);
}

// Owns the decompressor; destroyed on every path out of the decoder.
struct Decompressor {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    bool created = false;

    Decompressor()
    {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&err, 0, sizeof err);
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = onError;
        err.pub.output_message = onOutputMessage;
    }
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

enum class Outcome { Done, TooLarge, NoMemory };

bool sidesWithinBound(const jpeg_decompress_struct& cinfo)
{
    return cinfo.image_width > 0 && cinfo.image_height > 0 && cinfo.image_width <= maxSide &&
           cinfo.image_height <= maxSide;
}

QString tooLargeText(const jpeg_decompress_struct& cinfo)
{
    return QStringLiteral("图片无法解码：尺寸 %1 x %2 超出范围")
        .arg(cinfo.image_width)
        .arg(cinfo.image_height);
}

// As decodeInto, up to the header. Returns after a longjmp with err.message set.
bool readHeader(Decompressor& d, const unsigned char* data, unsigned long size)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    jpeg_mem_src(&d.cinfo, data, size);
    jpeg_read_header(&d.cinfo, TRUE);
    return true;
}

QRgb cmykToRgb(const JSAMPLE* p, bool inverted)
{
    int c = p[0];
    int m = p[1];
    int y = p[2];
    int k = p[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    // With Adobe's inverted storage the samples are already (255 - ink).
    return qRgb(c * k / 255, m * k / 255, y * k / 255);
}

// Everything between setjmp and a possible longjmp lives in `d` or `out`, both owned by
// the caller, so the jump skips no destructor. Returns after a longjmp with err.message set.
bool decodeInto(Decompressor& d, const unsigned char* data, unsigned long size, int targetWidth,
                int targetHeight, QImage& out, Outcome& outcome)
{
    jpeg_decompress_struct* cinfo = &d.cinfo;
    if (setjmp(d.err.jump))
        return false;

    jpeg_create_decompress(cinfo);
    d.created = true;
    jpeg_mem_src(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);

    if (!sidesWithinBound(*cinfo)) {
        outcome = Outcome::TooLarge;
        return true;
    }

    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    const bool gray = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    if (cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else if (gray)
        cinfo->out_color_space = JCS_GRAYSCALE;
    else
        cinfo->out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;

    cinfo->scale_num = 8;
    cinfo->scale_denom = 8;
    if (targetWidth > 0 && targetHeight > 0) {
        for (unsigned int num = 1; num <= 8; ++num) {
            cinfo->scale_num = num;
            jpeg_calc_output_dimensions(cinfo);
            if (cinfo->output_width >= static_cast<JDIMENSION>(targetWidth) &&
                cinfo->output_height >= static_cast<JDIMENSION>(targetHeight))
                break;
        }
    }
    jpeg_calc_output_dimensions(cinfo);
    if (static_cast<quint64>(cinfo->output_width) * cinfo->output_height > maxPixels) {
        outcome = Outcome::TooLarge;
        return true;
    }

    jpeg_start_decompress(cinfo);
    out = QImage(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height),
                 QImage::Format_RGB32);
    if (out.isNull()) {
        outcome = Outcome::NoMemory;
        return true;
    }
    const bool inverted = cinfo->saw_Adobe_marker;
    const int components = cinfo->output_components;
    JSAMPARRAY line =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                    cinfo->output_width * static_cast<JDIMENSION>(components), 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(y));
        if (!cmyk && !gray) {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(target);
            jpeg_read_scanlines(cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(cinfo, line, 1);
        const JSAMPLE* p = line[0];
        for (JDIMENSION x = 0; x < cinfo->output_width; ++x, p += components)
            target[x] = gray ? qRgb(p[0], p[0], p[0]) : cmykToRgb(p, inverted);
    }
    jpeg_finish_decompress(cinfo);
    outcome = Outcome::Done;
    return true;
}

} // namespace

bool looksLikeJpeg(const QByteArray& bytes)
{
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

QString jpegHeaderProblem(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("图片文件是空的");
    Decompressor d;
    if (!readHeader(d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                    static_cast<unsigned long>(bytes.size())))
        return QStringLiteral("图片无法解码：") + QString::fromLocal8Bit(d.err.message);
    return sidesWithinBound(d.cinfo) ? QString() : tooLargeText(d.cinfo);
}

JpegResult decodeJpeg(const QByteArray& bytes, QSize target)
{
    JpegResult result;
    if (bytes.isEmpty()) {
        result.error = QStringLiteral("图片文件是空的");
        result.failure = JpegFailure::Corrupt;
        return result;
    }
    Decompressor d;
    QImage image;
    Outcome outcome = Outcome::Done;
    const int width = target.isValid() ? target.width() : 0;
    const int height = target.isValid() ? target.height() : 0;
    const bool finished = decodeInto(d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                     static_cast<unsigned long>(bytes.size()), width, height, image, outcome);
    result.warning = QString::fromLocal8Bit(d.err.warning);
    if (!finished) {
        result.error = QStringLiteral("图片无法解码：") + QString::fromLocal8Bit(d.err.message);
        result.failure = JpegFailure::Corrupt;
        return result;
    }
    switch (outcome) {
    case Outcome::TooLarge:
        result.error = tooLargeText(d.cinfo);
        result.failure = JpegFailure::TooLarge;
        break;
    case Outcome::NoMemory:
        result.error = QStringLiteral("图片无法解码：内存不足");
        result.failure = JpegFailure::NoMemory;
        break;
    case Outcome::Done:
        result.image = std::move(image);
        break;
    }
    return result;
}

JpegResult loadJpegFile(const QString& path, QSize target)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        JpegResult result;
        result.error = QStringLiteral("无法打开图片 %1：%2").arg(path, file.errorString());
        result.failure = JpegFailure::Unreadable;
        return result;
    }
    return decodeJpeg(file.readAll(), target);
}

} // namespace kova
