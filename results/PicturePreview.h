#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

namespace kova {

class HttpClient;
class PictureCache;

// The large picture of a product for the preview panel: when the cache holds no file
// cph + "_dtp.jpg", `dtp` is downloaded into it first (blocking). When the file is still
// missing afterwards the call waits one second and looks once more. A file that cannot
// be decoded is removed before the error is thrown, so the next click downloads it anew.
// Throws kova::Error for an empty `dtp`, an unusable product number, a failed download
// and an undecodable picture; never returns a null image.
QImage LoadLargePicture(HttpClient& http, const PictureCache& cache, const QString& cph, const QString& dtp);

// Edge length the preview image shows its picture at (BigImage is 340 x 340).
inline constexpr int LargePictureSide = 340;

// Where the preview panel goes: the result grid puts its top 55 pixels above the
// pointer's grid Y; the left edge stays where the layout put it.
QPoint ResultPreviewPosition(QPoint current, int gridMouseY);

} // namespace kova
