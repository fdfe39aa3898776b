#include "server/PicturePainter.h"

#include "server/Catalogue.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

unsigned pictureColour(const QString& cph)
{
    const quint64 h = stableHash(cph);
    const QColor colour = QColor::fromHsv(static_cast<int>(h % 360), 90 + static_cast<int>((h >> 16) % 120),
                                          150 + static_cast<int>((h >> 32) % 90));
    return colour.rgb();
}

PicturePainter::PicturePainter(QString folder) : m_folder(std::move(folder))
{
    if (!m_folder.isEmpty())
        QDir().mkpath(m_folder);
}

void PicturePainter::checkJpegSupport()
{
    if (!QImageWriter::supportedImageFormats().contains("jpeg"))
        throw std::runtime_error(
            "stand-in server: Qt has no JPEG writer (the qjpeg image format plugin is missing)");
}

QByteArray PicturePainter::thumbnail(const PictureSubject& subject)
{
    return picture(subject, thumbnailSize, subject.cph);
}

QByteArray PicturePainter::largePicture(const PictureSubject& subject)
{
    return picture(subject, largeSize, subject.cph + u"_b"_s);
}

QByteArray PicturePainter::picture(const PictureSubject& subject, int size, const QString& key)
{
    // A picture drawn without its product's name is not kept: the name may be known later.
    const QString file =
        m_folder.isEmpty() || subject.name.isEmpty() ? QString() : QDir(m_folder).filePath(key + u".jpg"_s);
    if (!file.isEmpty()) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray jpeg = f.readAll();
            if (jpeg.startsWith("\xFF\xD8"))
                return jpeg;
        }
    }
    const QByteArray jpeg = draw(subject, size);
    if (!file.isEmpty()) {
        QSaveFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(jpeg);
            out.commit();
        }
    }
    return jpeg;
}

QByteArray PicturePainter::draw(const PictureSubject& subject, int size)
{
    std::lock_guard lock(m_drawMutex);
    const QColor background = QColor::fromRgb(pictureColour(subject.cph));
    const QColor ink = background.lightness() > 140 ? QColor(Qt::black) : QColor(Qt::white);
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const int margin = size / 15;
        const QRect frame(margin / 2, margin / 2, size - margin, size - margin);
        painter.setPen(QPen(ink, std::max(1, size / 60)));
        painter.drawRoundedRect(frame, margin, margin);

        QFont font(u"WenQuanYi Zen Hei"_s);
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(size / 10);
        painter.setFont(font);
        painter.setPen(ink);
        const QRect textArea = frame.adjusted(margin / 2, margin / 2, -margin / 2, -size / 5);
        const QString name = subject.name.isEmpty() ? u"商品"_s : subject.name;
        // Far more than fits; a 100 KB name must not cost a layout per character.
        QString shown = name.left(200);
        // Shorten the name until it fits the area, so the number below stays readable.
        const int flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWrapAnywhere;
        QFontMetrics metrics(font);
        while (shown.size() > 1 && metrics.boundingRect(textArea, flags, shown).height() > textArea.height())
            shown = shown.left(shown.size() - 2) + u'…';
        painter.drawText(textArea, flags, shown);

        QFont small = font;
        small.setPixelSize(std::max(9, size / 13));
        painter.setFont(small);
        QString footer = subject.cph;
        if (size >= largeSize && !subject.merchant.isEmpty())
            footer = subject.merchant + u"  ￥"_s + subject.price + u"\n"_s + subject.cph;
        const QRect footerArea(frame.left(), frame.bottom() - size / 5, frame.width(), size / 5 - margin / 3);
        painter.drawText(footerArea, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWrapAnywhere, footer);
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", 85))
        throw std::runtime_error("stand-in server: cannot encode a JPEG picture");
    return jpeg;
}

} // namespace kova::standin
