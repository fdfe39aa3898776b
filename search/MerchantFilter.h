#pragma once

#include "ui/GridColumn.h"

#include <QString>

#include <array>

namespace kova {

// The merchants of the filter bar, in check box order after "全部".
inline const std::array<QString, 7> FilterMerchants = {
    QStringLiteral("淘宝网"), QStringLiteral("天猫商城"), QStringLiteral("京东商城"), QStringLiteral("亚马逊"),
    QStringLiteral("当当网"), QStringLiteral("苏宁易购"), QStringLiteral("1号店")};

// The statement of the result query for the state of the eight boxes.
QString MerchantFilterStatement(bool all, const std::array<bool, 7>& merchants);

// The sort text a title click applies, from the column's marker before the click:
// a column marked down sorts ascending, otherwise descending.
QString TitleSortText(const QString& field, SortMarker before);

} // namespace kova
