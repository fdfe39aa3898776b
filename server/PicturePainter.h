#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <mutex>

namespace kova::standin {

// What a picture shows. `name` may be empty when the product is not known (the number
// alone is then written).
struct PictureSubject {
    QString cph;
    QString name;
    QString merchant;
    QString price;
};

// Draws the product pictures as JPEG files: the product's name and number on a colour
// of its own, derived from the product number, so a person can tell whose picture it
// is. Results are kept in a bounded memory cache and, when a folder is given, on disk.
class PicturePainter {
public:
    explicit PicturePainter(QString cacheDir); // "" = memory only
    // Throws std::runtime_error when Qt cannot write JPEG files.
    static void checkJpegSupport();

    QByteArray thumbnail(const PictureSubject& subject);    // 120 x 120
    QByteArray largePicture(const PictureSubject& subject); // 400 x 400
    // A picture already in the memory cache, or an empty array.
    QByteArray cached(const QString& cph, bool large);

    static constexpr int thumbnailSize = 120;
    static constexpr int largeSize = 400;

private:
    QByteArray picture(const PictureSubject& subject, int size, const QString& key);
    QByteArray draw(const PictureSubject& subject, int size);
    void remember(const QString& key, const QByteArray& jpeg);

    QString m_cacheDir;
    std::mutex m_cacheMutex;
    std::mutex m_drawMutex; // fonts and painters are used by one request at a time
    QHash<QString, QByteArray> m_cache;
    QList<QString> m_order;
    qsizetype m_cachedBytes = 0;
    static constexpr qsizetype maxCachedBytes = 32 * 1024 * 1024;
};

// The background colour of a product's pictures.
unsigned pictureColour(const QString& cph);

} // namespace kova::standin
