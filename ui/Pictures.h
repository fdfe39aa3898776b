#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace kova {

// The program's own pictures, bundled as resources of the ui library (sources and the
// commands that made the bitmaps are in assets/).

// Registers the bundled resources; called by everything below, safe to call again.
void ensureUiResources();

// Renders an SVG resource at the given size; a null pixmap when it cannot be read.
QPixmap svgPixmap(const QString& resource, QSize size);

QIcon kovaWindowIcon(); // several sizes

// The tool bar's image list ImageList1: 19 icons of 32 × 32.
inline constexpr int ImageList1Count = 19;
QPixmap ImageList1(int index);

enum class TitlePicture { Left, Middle, Right };
QPixmap titleBarPicture(TitlePicture part);

enum class TitleButton { Close, Maximize, Restore, Minimize };
enum class ButtonFace { Normal, Hovered, Pressed };
QPixmap titleButtonPicture(TitleButton button, ButtonFace face);
inline constexpr QSize TitleButtonSize{25, 17};

QPixmap searchButtonGlyph(); // the picture of suiButton1 and suiButton4

// Store logos of Image1 … Image8 (n = 1 … 8), 80 × 33.
QPixmap storeLogo(int n);

// The about window's JPEG (468 × 294), as stored.
QByteArray aboutPictureJpeg();

} // namespace kova
