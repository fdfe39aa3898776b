#pragma once

#include <QString>

namespace kova {

// Puts the operator's affiliate ids into a product link: the value that starts with
// "mm_" after the first "=mm_" becomes `taobaoPid`, the value of the first "unionId="
// becomes `jdUnionId` (each up to the next "&" or the end of the link). With both ids
// empty the link is returned unchanged; otherwise both rewrites run, an empty id emptying
// its value. Searches are case-sensitive.
QString RewriteAffiliateIds(const QString& link, const QString& taobaoPid, const QString& jdUnionId);

} // namespace kova
