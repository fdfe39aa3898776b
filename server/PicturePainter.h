#pragma once

#include <QByteArray>
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
// is. When a folder is given, each picture of a known product is kept there as a file and
// served from it afterwards (also by a later server on the same folder).
class PicturePainter {
public:
    explicit PicturePainter(QString folder); // "" = drawn on every request
    // Throws std::runtime_error when Qt cannot write JPEG files.
    static void checkJpegSupport();

    QByteArray thumbnail(const PictureSubject& subject);    // 120 x 120
    QByteArray largePicture(const PictureSubject& subject); // 400 x 400

    static constexpr int thumbnailSize = 120;
    static constexpr int largeSize = 400;

private:
    QByteArray picture(const PictureSubject& subject, int size, const QString& key);
    QByteArray draw(const PictureSubject& subject, int size);

    QString m_folder;
    std::mutex m_drawMutex; // fonts and painters are used by one request at a time
};

// The background colour of a product's pictures.
unsigned pictureColour(const QString& cph);

} // namespace kova::standin
