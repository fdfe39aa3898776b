#include "ui/Pictures.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <optional>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initKovaUiResources()
{
    Q_INIT_RESOURCE(kova_ui);
}

namespace kova {

void ensureUiResources()
{
    static const bool done = [] {
        initKovaUiResources();
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

// Pictures are drawn often (title bar, buttons): each size is rendered once. The cache is
// emptied while the application object still exists.
QHash<QString, QPixmap>& pixmapCache()
{
    static QHash<QString, QPixmap>* cache = [] {
        static QHash<QString, QPixmap> c;
        qAddPostRoutine([] { c.clear(); });
        return &c;
    }();
    return *cache;
}

} // namespace

namespace {

QString cacheKey(const QString& resource, QSize size)
{
    return resource + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
           QString::number(size.height());
}

// Renders `size` from a parsed picture and keeps it.
QPixmap renderAndKeep(QSvgRenderer& renderer, const QString& key, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    pixmapCache().insert(key, pixmap);
    return pixmap;
}

} // namespace

QPixmap svgPixmap(const QString& resource, QSize size)
{
    ensureUiResources();
    const QString key = cacheKey(resource, size);
    QHash<QString, QPixmap>& cache = pixmapCache();
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QSvgRenderer renderer(resource);
    if (!renderer.isValid())
        return {};
    return renderAndKeep(renderer, key, size);
}

QIcon kovaWindowIcon()
{
    // Every size from one parse of the picture.
    ensureUiResources();
    const QString resource = QStringLiteral(":/kova/app/kova.svg");
    std::optional<QSvgRenderer> renderer;
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        const QSize size(side, side);
        const QString key = cacheKey(resource, size);
        if (auto it = pixmapCache().constFind(key); it != pixmapCache().constEnd()) {
            icon.addPixmap(*it);
            continue;
        }
        if (!renderer)
            renderer.emplace(resource);
        if (!renderer->isValid())
            return icon;
        icon.addPixmap(renderAndKeep(*renderer, key, size));
    }
    return icon;
}

QPixmap ImageList1(int index)
{
    if (index < 0 || index >= ImageList1Count)
        return {};
    return svgPixmap(QStringLiteral(":/kova/toolbar/tb%1.svg").arg(index, 2, 10, QLatin1Char('0')),
                     QSize(32, 32));
}

QPixmap titleBarPicture(TitlePicture part)
{
    switch (part) {
    case TitlePicture::Left:
        return svgPixmap(QStringLiteral(":/kova/title/left.svg"), QSize(48, 20));
    case TitlePicture::Middle:
        return svgPixmap(QStringLiteral(":/kova/title/middle.svg"), QSize(16, 20));
    case TitlePicture::Right:
        return svgPixmap(QStringLiteral(":/kova/title/right.svg"), QSize(48, 20));
    }
    return {};
}

QPixmap titleButtonPicture(TitleButton button, ButtonFace face)
{
    static const char* const kinds[] = {"close", "maximize", "restore", "minimize"};
    static const char* const faces[] = {"normal", "hover", "pressed"};
    const QString path = QStringLiteral(":/kova/title/%1_%2.svg")
                             .arg(QLatin1String(kinds[static_cast<int>(button)]),
                                  QLatin1String(faces[static_cast<int>(face)]));
    return svgPixmap(path, TitleButtonSize);
}

QPixmap searchButtonGlyph()
{
    return svgPixmap(QStringLiteral(":/kova/buttons/search.svg"), QSize(24, 24));
}

QPixmap storeLogo(int n)
{
    if (n < 1 || n > 8)
        return {};
    return svgPixmap(QStringLiteral(":/kova/stores/store%1.svg").arg(n), QSize(80, 33));
}

QByteArray aboutPictureJpeg()
{
    ensureUiResources();
    QFile file(QStringLiteral(":/kova/about/about.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace kova
