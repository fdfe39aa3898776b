// Rewriting the operator's affiliate ids into product links.
#include "links/AffiliateLinks.h"

#include <gtest/gtest.h>

using namespace kova;

namespace {

const QString Pid = QStringLiteral("mm_11_22_33");
const QString Union = QStringLiteral("777");

struct Case {
    const char* what;
    QString link;
    QString pid;
    QString unionId;
    QString expected;
};

class Rewrite : public ::testing::TestWithParam<Case> {};

TEST_P(Rewrite, PutsTheOperatorIdsIn)
{
    const Case& c = GetParam();
    EXPECT_EQ(RewriteAffiliateIds(c.link, c.pid, c.unionId), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Links, Rewrite,
    ::testing::Values(
        Case{"both ids empty: unchanged", QStringLiteral("http://s/i.htm?id=1&pid=mm_1_2_3&unionId=5&x=1"), {}, {},
             QStringLiteral("http://s/i.htm?id=1&pid=mm_1_2_3&unionId=5&x=1")},
        Case{"pid followed by parameters keeps them", QStringLiteral("http://s/i.htm?pid=mm_1_2_3&id=9"), Pid, Union,
             QStringLiteral("http://s/i.htm?pid=mm_11_22_33&id=9")},
        Case{"pid at the end becomes the end", QStringLiteral("http://s/i.htm?id=9&pid=mm_1_2_3"), Pid, Union,
             QStringLiteral("http://s/i.htm?id=9&pid=mm_11_22_33")},
        Case{"only the union id configured empties the pid value",
             QStringLiteral("http://s/i.htm?pid=mm_1_2_3&id=9"), {}, Union, QStringLiteral("http://s/i.htm?pid=&id=9")},
        Case{"union id followed by parameters", QStringLiteral("http://j/p?unionId=123&sku=8"), Pid, Union,
             QStringLiteral("http://j/p?unionId=777&sku=8")},
        Case{"union id at the end is replaced too", QStringLiteral("http://j/p?sku=8&unionId=123"), Pid, Union,
             QStringLiteral("http://j/p?sku=8&unionId=777")},
        Case{"both markers: both rewritten", QStringLiteral("http://s/c?pid=mm_1_2_3&unionId=4&z=1"), Pid, Union,
             QStringLiteral("http://s/c?pid=mm_11_22_33&unionId=777&z=1")},
        Case{"only the first occurrence", QStringLiteral("http://s/c?a=mm_1&b=mm_2"), Pid, Union,
             QStringLiteral("http://s/c?a=mm_11_22_33&b=mm_2")},
        Case{"lower-case unionid is not recognised", QStringLiteral("http://j/p?unionid=123&x=1"), Pid, Union,
             QStringLiteral("http://j/p?unionid=123&x=1")},
        Case{"mm_ without a leading = is not recognised", QStringLiteral("http://s/mm_1_2_3/i.htm"), Pid, Union,
             QStringLiteral("http://s/mm_1_2_3/i.htm")},
        Case{"no marker: unchanged", QStringLiteral("http://s/i.htm?id=1"), Pid, Union,
             QStringLiteral("http://s/i.htm?id=1")},
        Case{"empty link", QString(), Pid, Union, QString()}));

} // namespace
