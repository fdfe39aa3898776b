#pragma once

#include <QString>

#include <array>

namespace kova {

// The seven merchants the service names in sjlx, in the order of the filter bar's check
// boxes after "全部".
inline const std::array<QString, 7> FilterMerchants = {QStringLiteral("淘宝网"),   QStringLiteral("天猫商城"),
                                                       QStringLiteral("京东商城"), QStringLiteral("亚马逊"),
                                                       QStringLiteral("当当网"),   QStringLiteral("苏宁易购"),
                                                       QStringLiteral("1号店")};

} // namespace kova
