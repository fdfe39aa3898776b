#include "search/MerchantFilter.h"

namespace kova {

QString MerchantFilterStatement(bool all, const std::array<bool, 7>& merchants)
{
    if (all)
        return QStringLiteral("select * from cxnr order by jg");
    QString statement = QStringLiteral("select * from cxnr where");
    bool first = true;
    for (size_t i = 0; i < merchants.size(); ++i) {
        if (!merchants[i])
            continue;
        statement += (first ? QStringLiteral(" sjlx=\"") : QStringLiteral(" or sjlx=\"")) +
                     FilterMerchants[i] + QStringLiteral("\" ");
        first = false;
    }
    if (first)
        return QStringLiteral("select * from cxnr where sjlx=\"全部\" order by jg");
    return statement + QStringLiteral(" order by jg");
}

QString TitleSortText(const QString& field, SortMarker before)
{
    return before == SortMarker::Down ? field : field + QStringLiteral(" DESC");
}

} // namespace kova
