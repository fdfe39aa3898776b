// kova-render-icon INPUT.svg OUTPUT.png SIZE: renders the application icon as a square PNG
// of SIZE pixels with a transparent background, for the hicolor icon theme of the install.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: kova-render-icon INPUT.svg OUTPUT.png SIZE\n");
        return 2;
    }
    const int size = std::atoi(argv[3]);
    if (size < 1 || size > 4096) {
        std::fprintf(stderr, "kova-render-icon: bad size %s\n", argv[3]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "kova-render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        renderer.render(&p, QRectF(0, 0, size, size));
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kova-render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
