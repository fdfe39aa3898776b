#pragma once

#include "store/SortMarker.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

namespace kova {

// One column of a data grid, bound to a field of the grid's dataset by name (compared
// without regard to case). `width` is the design width; the grid's current width of a
// column is DBGridEh::columnWidth.
struct GridColumn {
    static constexpr int DefaultWidth = 64;

    QString field;
    QString title;
    QString hint; // tool tip over the title
    int width = DefaultWidth;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter; // of the cell text
    bool readOnly = false;
    bool titleButton = false;        // the title is a button that advances the sort marker
    std::optional<QFont> font;       // else the grid's font
    std::optional<QColor> fontColor; // else the grid's text colour
};

// Draw state of a cell (as the grid library's gdSelected, gdFocused, gdFixed): selected is
// the current cell, focused the current cell while the grid has the focus.
struct GridDrawState {
    bool selected = false;
    bool focused = false;
    bool fixed = false;
    bool operator==(const GridDrawState&) const = default;
};

// Field names are compared without regard to case.
inline bool isField(const QString& field, QLatin1String name)
{
    return field.compare(name, Qt::CaseInsensitive) == 0;
}
inline bool isField(const QString& field, const QString& name)
{
    return field.compare(name, Qt::CaseInsensitive) == 0;
}

// Index of a field name in a list of field names; -1.
inline int indexOfField(const QStringList& names, const QString& field)
{
    for (int i = 0; i < names.size(); ++i)
        if (isField(names[i], field))
            return i;
    return -1;
}

// The colours of every grid's title cells and title text.
inline const QColor GridFixedColor{166, 202, 240};
inline const QColor GridTitleFontColor{255, 0, 255};

// A position in the grid as the grid library maps it: col 0 is the first column, row 0
// the title row, rows 1 … the data rows (model row + 1); -1 outside the cells.
struct GridCoord {
    int col = -1;
    int row = -1;
    bool operator==(const GridCoord&) const = default;
};

} // namespace kova
