#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace kova {

// Decodes JPEG files with libjpeg under an error manager that never ends the process.
// A corrupt file gives a null image and an error text; a truncated file decodes with
// warnings, as libjpeg does.
// Why a picture gave no image.
enum class JpegFailure {
    None,
    Unreadable, // the file could not be read
    Corrupt,    // empty, not a JPEG, or data libjpeg refuses
    TooLarge,   // its header gives sides beyond the loader's bound
    NoMemory,   // the image could not be had now
};

struct JpegResult {
    QImage image;    // null on failure
    QString error;   // why, when image is null
    QString warning; // libjpeg's last warning (a truncated file, say), also with an image
    JpegFailure failure = JpegFailure::None;

    // The bytes themselves are at fault: reading them again cannot give an image.
    bool unusable() const { return failure == JpegFailure::Corrupt || failure == JpegFailure::TooLarge; }
};

// Decodes the whole picture. When `target` is given, libjpeg's DCT scaling picks the
// smallest scale (1/8 .. 1) not smaller than target, so thumbnails decode fast.
JpegResult decodeJpeg(const QByteArray& bytes, QSize target = {});
JpegResult loadJpegFile(const QString& path, QSize target = {});

// Reads the header only: empty when the loader would decode the picture (a header libjpeg
// reads, with sides within the loader's bound), else why not. Cheap enough to check a
// download before it is kept.
QString jpegHeaderProblem(const QByteArray& bytes);

// True when the bytes start with the JPEG signature FF D8 FF.
bool looksLikeJpeg(const QByteArray& bytes);

} // namespace kova
