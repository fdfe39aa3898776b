#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

class QPainter;

namespace kova {

class Dataset;

// The drawing surface a grid hands to its per-cell draw handler, in the manner of the
// grid library's canvas: a brush colour for fills, a font with its colour for texts, and
// the record being drawn. The drawing operations are virtual so that a recording canvas
// can log what a handler drew.
class GridCanvas {
public:
    explicit GridCanvas(QPainter* painter = nullptr);
    GridCanvas(const GridCanvas&) = delete;
    GridCanvas& operator=(const GridCanvas&) = delete;
    virtual ~GridCanvas();

    // The record the cell belongs to: `row` is 0-based in the dataset's current order.
    void setRecord(const Dataset* dataset, int row);
    const Dataset* dataset() const { return m_dataset; }
    int row() const { return m_row; }
    int recNo() const { return m_row + 1; } // record number of the record being drawn
    // Text of a field of the record being drawn (name compared without regard to case);
    // empty for a null value or an unknown field.
    QString fieldText(const QString& field) const;

    QColor brushColor() const { return m_brushColor; }
    void setBrushColor(const QColor& color) { m_brushColor = color; }
    QFont font() const { return m_font; }
    void setFont(const QFont& font) { m_font = font; }
    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color) { m_fontColor = color; }

    // Fills with the brush colour.
    virtual void fillRect(const QRect& rect);
    // Opaque text output clipped to `clip`: fills `clip` with the brush colour, then writes
    // `text` with its top-left corner at (x, y) in the font and font colour.
    virtual void textRect(const QRect& clip, int x, int y, const QString& text);
    // Text laid out inside `rect` by Qt alignment and text flags, without filling.
    virtual void drawText(const QRect& rect, int flags, const QString& text);
    // The picture stretched into `rect`, aspect ratio not kept.
    virtual void stretchDraw(const QRect& rect, const QImage& image);

protected:
    QPainter* painter() const { return m_painter; }

private:
    QPainter* m_painter;
    const Dataset* m_dataset = nullptr;
    int m_row = -1;
    QColor m_brushColor{255, 255, 255};
    QFont m_font;
    QColor m_fontColor{0, 0, 0};
};

// A canvas that logs every operation (and also paints, when given a painter), so a test
// can see what a draw handler did to a cell.
class RecordingGridCanvas : public GridCanvas {
public:
    struct Op {
        enum class Kind { Fill, TextRect, Text, Picture };
        Kind kind;
        QRect rect; // filled rect, clip rect, layout rect or picture rect
        QPoint pos; // text position of TextRect
        QString text;
        QColor color;      // font colour for texts
        QColor background; // brush colour for fills and TextRect
        QFont font;
        int flags = 0;
        QSize pictureSize;
    };

    explicit RecordingGridCanvas(QPainter* painter = nullptr) : GridCanvas(painter) {}

    void fillRect(const QRect& rect) override;
    void textRect(const QRect& clip, int x, int y, const QString& text) override;
    void drawText(const QRect& rect, int flags, const QString& text) override;
    void stretchDraw(const QRect& rect, const QImage& image) override;

    const std::vector<Op>& ops() const { return m_ops; }
    // The last text written (by textRect or drawText), or nullptr when none.
    const Op* lastText() const;
    // The texts left visible in `cell` once every operation has been applied, in drawing
    // order: a fill, an opaque text or a picture over the whole cell hides what was there.
    // A cell showing only a picture reads as `pictureText`.
    QString visibleText(const QRect& cell, const QString& pictureText) const;
    void clearOps() { m_ops.clear(); }

private:
    std::vector<Op> m_ops;
};

} // namespace kova
