#pragma once

// Keys typed into a grid cell the way a user types them. Header-only: a test that
// includes it links Qt6::Test.
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QTest>

namespace kova::test {

// Selects `cell` of `grid` and types `letters` into it, then Return to commit the editor the
// grid opened on the first key, if it opened one (Return on the grid itself acts on the cell
// as a click does). Each key goes where the keyboard goes: to the grid, or to the editor.
inline void typeIntoCell(QAbstractItemView* grid, const QModelIndex& cell, const QString& letters)
{
    grid->setFocus();
    grid->setCurrentIndex(cell);
    const auto target = [grid]() -> QWidget* {
        QWidget* focus = grid->window()->focusWidget();
        return focus && grid->isAncestorOf(focus) ? focus : grid;
    };
    for (const QChar c : letters)
        QTest::keyClicks(target(), QString(c));
    if (target() != grid)
        QTest::keyClick(target(), Qt::Key_Return);
    QCoreApplication::processEvents(); // an editor's value is committed on a queued call
}

} // namespace kova::test
