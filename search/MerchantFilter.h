#pragma once

#include "store/Merchants.h"
#include "store/SortMarker.h"

#include <QString>

#include <array>

namespace kova {

// The statement of the result query for the state of the eight boxes.
QString MerchantFilterStatement(bool all, const std::array<bool, 7>& merchants);

// The sort text a title click applies, from the column's marker before the click:
// a column marked down sorts ascending, otherwise descending.
QString TitleSortText(const QString& field, SortMarker before);

} // namespace kova
