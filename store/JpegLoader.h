#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace kova {

// Decodes JPEG files with libjpeg under an error manager that never ends the process.
// A corrupt file gives a null image and an error text; a truncated file decodes with
// warnings, as libjpeg does.
struct JpegResult {
    QImage image;    // null on failure
    QString error;   // why, when image is null
    QString warning; // libjpeg's last warning (a truncated file, say), also with an image
};

// Decodes the whole picture. When `target` is given, libjpeg's DCT scaling picks the
// smallest scale (1/8 .. 1) not smaller than target, so thumbnails decode fast.
JpegResult decodeJpeg(const QByteArray& bytes, QSize target = {});
JpegResult loadJpegFile(const QString& path, QSize target = {});

// True when the bytes start with the JPEG signature FF D8 FF.
bool looksLikeJpeg(const QByteArray& bytes);

} // namespace kova
