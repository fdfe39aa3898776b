#pragma once

#include "store/PictureCache.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QThread>

#include <chrono>
#include <memory>

namespace kova {

class HttpClient;

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
// pointer's grid Y; the left edge stays where the layout put it. The panel is kept inside
// `inside` (the window's rectangle in the panel's parent's coordinates): it never hangs
// below the window's bottom or above its top.
QPoint ResultPreviewPosition(QPoint current, int gridMouseY, QSize panel, const QRect& inside);

// The large picture of one product fetched and decoded on a thread of its own, so the
// window keeps answering while the picture host is slow. Ready() arrives on the owner's
// thread once the run has ended; picture() is then set, or error() says why not.
class LargePictureDownload : public QThread {
    Q_OBJECT
public:
    LargePictureDownload(QString cph, QString dtp, PictureCache cache, QObject* parent = nullptr);
    ~LargePictureDownload() override; // cancels a download under way and joins

    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);
    void cancel();

    const QString& cph() const { return m_cph; }
    // Valid after Ready().
    const QImage& picture() const { return m_picture; }
    const QString& error() const { return m_error; }

signals:
    void Ready();

protected:
    void run() override;

private:
    QString m_cph;
    QString m_dtp;
    PictureCache m_cache;
    std::unique_ptr<HttpClient> m_http; // used on the download's thread only
    QImage m_picture;
    QString m_error;
};

} // namespace kova
