#pragma once

#include "store/PictureCache.h"
#include "ui/GridColumn.h"

#include <QColor>
#include <QObject>
#include <QRect>
#include <QSet>
#include <QString>

#include <functional>
#include <vector>

namespace kova {

class Dataset;
class GridCanvas;

inline const QString FavoriteInviteText = QStringLiteral("点击收藏");
inline const QString FavoriteDoneText = QStringLiteral("已收藏");
// Drawn over a thumbnail cell whose download failed, until a later fetch saves the file.
inline const QString NoPictureText = QStringLiteral("暂无图片");

// Row background of the result grid by record number (from 1).
QColor ResultRowBackground(int recNo);
inline const QColor ResultCurrentTextColor{255, 0, 0};
inline const QColor ResultFavoriteInviteColor{0, 0, 255};

// The composed texts, built from the stored texts (never by number formatting). An empty
// result means the cell keeps the grid's own text. A price text that IsShownPrice refuses
// reads PriceUnknownText.
QString ResultPriceText(const QString& jg);                           // ￥58.00, ￥58.5
QString ResultPopularityText(const QString& rc, const QString& sjlx); // 销量…笔 / 评论…条

// The `tpid` of the first picture record in `tpb` whose tpid equals `cph` exactly, or an
// empty text. The cursor of `tpb` does not move: painting must not disturb a reader that
// is appending picture records through it.
QString FindPictureRecord(const Dataset& tpb, const QString& cph);

// FindPictureRecord for every painted cell without a pass over every record: the tpids of
// `tpb` kept in a set, followed as records are appended and read again from the dataset
// after anything else changes it (opened, closed, sorted, a record edited or deleted).
class PictureRecordIndex : public QObject {
public:
    explicit PictureRecordIndex(const Dataset& tpb, QObject* parent = nullptr);
    QString find(const QString& cph) const;

private:
    void add(int first, int last) const;

    // The tpids in sets of at most SetSize, each made that large at once: a set grown one
    // record at a time rehashes everything it holds at each doubling, and with two hundred
    // thousand records one such step would hold up the window for tens of milliseconds.
    static constexpr qsizetype SetSize = 16384;
    const Dataset& m_tpb;
    mutable std::vector<QSet<QString>> m_ids;
    mutable bool m_stale = true;
};

// Draws one cell of the result grid: the row background, the standard drawing, the red
// current cell and, for a record with a product number, the thumbnail and the composed
// price, popularity and favorite texts. Thumbnails are decoded from their files at every
// paint, at the scale of the cell. A file no decoder can use (corrupt, or sides beyond the
// loader's bound) is removed and reported, so the next fetch downloads it again; a file
// that cannot be read now leaves the field text.
class ResultCellPainter {
public:
    // Gives the tpid registered for a product number, or an empty text.
    using PictureLookup = std::function<QString(const QString& cph)>;
    // The grid's standard drawing of the cell with the canvas as it is now.
    using StandardDraw = std::function<void()>;

    // Whether the latest download of a product's thumbnail failed.
    using FailedLookup = std::function<bool(const QString& cph)>;
    // A product's thumbnail file could not be used and has been removed.
    using UnusablePicture = std::function<void(const QString& cph)>;

    ResultCellPainter(PictureCache cache, PictureLookup lookup, FailedLookup failed = {},
                      UnusablePicture unusable = {});

    void paint(GridCanvas& canvas, const QRect& rect, const QString& field, GridDrawState state,
               const StandardDraw& standardDraw) const;

    // Offsets of the composed texts inside the cell.
    static constexpr int TextTop = 32;
    static constexpr int TextLeft = 10;
    static constexpr int FavoriteTextLeft = 5;

private:
    // False when the cell has no picture to show.
    bool paintPicture(GridCanvas& canvas, const QRect& rect, const QString& cph) const;

    PictureCache m_cache;
    PictureLookup m_lookup;
    FailedLookup m_failed;
    UnusablePicture m_unusable;
};

} // namespace kova
