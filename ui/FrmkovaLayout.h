#pragma once

#include "ui/GridColumn.h"

#include <array>
#include <vector>

namespace kova {

struct FrmkovaUi;

// The columns of the result grid DBGridEh1 and of the favorites grid DBGridEh2 at design.
std::vector<GridColumn> resultGridColumns();
std::vector<GridColumn> favoritesGridColumns();

// Column widths the resize step gives for a window of outer width W (integer divisions):
// DBGridEh1 columns 1 … 9 and DBGridEh2 columns 1 … 7; column 0 of each keeps its width.
struct ResizeWidths {
    std::array<int, 9> results;
    std::array<int, 7> favorites;
};
ResizeWidths resizeColumnWidths(int windowWidth);

// The resize step (FormResize) over the controls, for a window of outer width W: the
// grids' column widths, the start page's centre panel and the progress panel placed, the
// progress panel hidden and reset, both grids flat with their fixed-cell colour.
void applyResizeStep(FrmkovaUi& ui, int windowWidth);

} // namespace kova
