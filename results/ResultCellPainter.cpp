#include "results/ResultCellPainter.h"

#include "store/Dataset.h"
#include "store/JpegLoader.h"
#include "store/Money.h"
#include "ui/GridCanvas.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kova {
QColor ResultRowBackground(int recNo)
{
    return recNo % 2 != 0 ? QColor(241, 254, 250) : QColor(241, 243, 254);
}

QString ResultPriceText(const QString& jg)
{
    if (jg.isEmpty())
        return {};
    if (!IsShownPrice(jg))
        return PriceUnknownText;
    return QStringLiteral("￥") + jg + (jg.contains(QLatin1Char('.')) ? QString() : QStringLiteral(".00"));
}

QString ResultPopularityText(const QString& rc, const QString& sjlx)
{
    if (rc.isEmpty())
        return {};
    if (sjlx == QStringLiteral("淘宝网") || sjlx == QStringLiteral("天猫商城"))
        return QStringLiteral("销量") + rc + QStringLiteral("笔");
    static const QStringList reviewed = {QStringLiteral("京东商城"), QStringLiteral("亚马逊"),
                                         QStringLiteral("当当网"), QStringLiteral("苏宁易购"),
                                         QStringLiteral("1号店")};
    if (reviewed.contains(sjlx))
        return QStringLiteral("评论") + rc + QStringLiteral("条");
    return {};
}

QString FindPictureRecord(const Dataset& tpb, const QString& cph)
{
    if (!tpb.isActive() || cph.isEmpty())
        return {};
    const int column = indexOfField(tpb.fieldNames(), QStringLiteral("tpid"));
    if (column < 0)
        return {};
    const int rows = tpb.recordCount();
    for (int row = 0; row < rows; ++row) {
        const QVariant tpid = tpb.fieldAt(row, column);
        if (!tpid.isNull() && tpid.toString() == cph)
            return cph;
    }
    return {};
}

PictureRecordIndex::PictureRecordIndex(const Dataset& tpb, QObject* parent) : QObject(parent), m_tpb(tpb)
{
    const auto stale = [this] {
        m_stale = true;
        m_ids.clear();
    };
    connect(&tpb, &Dataset::reset, this, stale);
    connect(&tpb, &Dataset::rowChanged, this, stale);
    connect(&tpb, &Dataset::rowRemoved, this, stale);
    connect(&tpb, &Dataset::rowsInserted, this, [this](int first, int last) {
        if (!m_stale)
            add(first, last);
    });
}

void PictureRecordIndex::add(int first, int last) const
{
    const int column = indexOfField(m_tpb.fieldNames(), QStringLiteral("tpid"));
    if (column < 0)
        return;
    for (int row = first; row <= last; ++row) {
        const QVariant tpid = m_tpb.fieldAt(row, column);
        if (tpid.isNull())
            continue;
        if (m_ids.empty() || m_ids.back().size() >= SetSize) {
            m_ids.emplace_back();
            m_ids.back().reserve(SetSize);
        }
        m_ids.back().insert(tpid.toString());
    }
}

QString PictureRecordIndex::find(const QString& cph) const
{
    if (!m_tpb.isActive() || cph.isEmpty())
        return {};
    if (m_stale) {
        m_ids.clear();
        add(0, m_tpb.recordCount() - 1);
        m_stale = false;
    }
    const bool found = std::any_of(m_ids.begin(), m_ids.end(),
                                   [&cph](const QSet<QString>& ids) { return ids.contains(cph); });
    return found ? cph : QString();
}

ResultCellPainter::ResultCellPainter(PictureCache cache, PictureLookup lookup, FailedLookup failed,
                                     UnusablePicture unusable)
    : m_cache(std::move(cache)), m_lookup(std::move(lookup)), m_failed(std::move(failed)),
      m_unusable(std::move(unusable))
{
}

void ResultCellPainter::paint(GridCanvas& canvas, const QRect& rect, const QString& field,
                              GridDrawState state, const StandardDraw& standardDraw) const
{
    canvas.setBrushColor(ResultRowBackground(canvas.recNo()));
    standardDraw();
    if (state.selected && !state.fixed) {
        canvas.setFontColor(ResultCurrentTextColor);
        standardDraw();
    }

    const Dataset* records = canvas.dataset();
    if (records == nullptr || records->recordCount() == 0)
        return;
    if (canvas.recNo() < 1 || canvas.recNo() > records->recordCount())
        return;
    const QString cph = canvas.fieldText(QStringLiteral("cph"));
    if (cph.isEmpty())
        return;

    const QPoint textAt(rect.left() + TextLeft, rect.top() + TextTop);
    if (isField(field, QLatin1String("bz1"))) {
        if (!paintPicture(canvas, rect, cph) && m_failed && m_failed(cph))
            canvas.textRect(rect, textAt.x(), textAt.y(), NoPictureText);
    } else if (isField(field, QLatin1String("rc"))) {
        const QString text = ResultPopularityText(canvas.fieldText(QStringLiteral("rc")),
                                                  canvas.fieldText(QStringLiteral("sjlx")));
        if (!text.isEmpty())
            canvas.textRect(rect, textAt.x(), textAt.y(), text);
    } else if (isField(field, QLatin1String("jg"))) {
        const QString text = ResultPriceText(canvas.fieldText(QStringLiteral("jg")));
        if (!text.isEmpty())
            canvas.textRect(rect, textAt.x(), textAt.y(), text);
    } else if (isField(field, QLatin1String("check"))) {
        const QString check = canvas.fieldText(QStringLiteral("check"));
        if (check == FavoriteInviteText)
            canvas.setFontColor(ResultFavoriteInviteColor);
        else if (check != FavoriteDoneText)
            return;
        canvas.textRect(rect, rect.left() + FavoriteTextLeft, textAt.y(), check);
    }
}

bool ResultCellPainter::paintPicture(GridCanvas& canvas, const QRect& rect, const QString& cph) const
{
    const QString tpid = m_lookup ? m_lookup(cph) : QString();
    if (tpid.isEmpty())
        return false;
    const QString path = m_cache.thumbnailPath(tpid);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    // Decoded at the cell's size and dropped after drawing; an unreadable file keeps the
    // field text already drawn.
    const JpegResult loaded = loadJpegFile(path, rect.size());
    if (!loaded.image.isNull()) {
        canvas.stretchDraw(rect, loaded.image);
        return true;
    }
    if (!loaded.unusable())
        return true;
    // Kept, it would say "加载中…" for ever: no fetch replaces a file that exists.
    QFile::remove(path);
    if (m_unusable)
        m_unusable(cph);
    return false;
}

} // namespace kova
