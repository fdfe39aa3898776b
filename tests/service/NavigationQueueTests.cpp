#include "service/NavigationQueue.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

using Purpose = NavigationPurpose;

NavigationQueue::Navigation to(Purpose purpose, const QString& url, const QString& tag = {})
{
    return {purpose, [url] { return url; }, tag};
}

TEST(NavigationQueue, OnlyANewerSearchReplacesTheOneUnderWay)
{
    NavigationQueue queue;
    ASSERT_TRUE(queue.request(to(Purpose::Search, QStringLiteral("s1"))));
    const auto newer = queue.request(to(Purpose::Search, QStringLiteral("s2")));
    ASSERT_TRUE(newer);
    EXPECT_EQ(newer->url, QStringLiteral("s2"));

    // A delete waits for the search; a newer search still replaces the one under way.
    EXPECT_FALSE(queue.request(to(Purpose::DeleteFavorite, QStringLiteral("d1"), QStringLiteral("cph1"))));
    const auto newest = queue.request(to(Purpose::Search, QStringLiteral("s3")));
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->url, QStringLiteral("s3"));
    EXPECT_EQ(queue.waitingCount(), 1);

    EXPECT_EQ(queue.complete().purpose, Purpose::Search);
    EXPECT_EQ(queue.current(), Purpose::None);
    auto next = queue.next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->url, QStringLiteral("d1"));
    EXPECT_FALSE(queue.next()); // one at a time

    // A search made while the delete goes out waits for it; of two such, the newer goes.
    EXPECT_FALSE(queue.request(to(Purpose::Search, QStringLiteral("s4"))));
    EXPECT_FALSE(queue.request(to(Purpose::Search, QStringLiteral("s5"))));
    EXPECT_EQ(queue.waitingCount(), 1);
    const auto done = queue.complete();
    EXPECT_EQ(done.purpose, Purpose::DeleteFavorite);
    EXPECT_EQ(done.tag, QStringLiteral("cph1"));
    next = queue.next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->url, QStringLiteral("s5"));
    queue.complete();
    EXPECT_FALSE(queue.next());
}

TEST(NavigationQueue, AnAddressIsBuiltWhenItsNavigationStarts)
{
    NavigationQueue queue;
    QString userId;
    ASSERT_TRUE(queue.request(to(Purpose::AccountRequest, QStringLiteral("account"))));
    EXPECT_FALSE(queue.request({Purpose::Search, [&] { return QStringLiteral("search?u=") + userId; }, {}}));
    EXPECT_TRUE(queue.waiting(Purpose::Search));
    EXPECT_EQ(queue.complete().purpose, Purpose::AccountRequest);
    userId = QStringLiteral("k1");
    const auto next = queue.next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->url, QStringLiteral("search?u=k1"));
}

TEST(NavigationQueue, StoppedAndDroppedNavigationsFreeTheLoader)
{
    NavigationQueue queue;
    queue.request(to(Purpose::Search, QStringLiteral("s1")));
    queue.request(to(Purpose::DeleteFavorite, QStringLiteral("d1")));
    queue.request(to(Purpose::DeleteFavorite, QStringLiteral("d2")));
    EXPECT_EQ(queue.drop(Purpose::Search), 0);
    queue.abandon();
    EXPECT_EQ(queue.current(), Purpose::None);
    EXPECT_EQ(queue.complete().purpose, Purpose::None); // a completion nobody asked for
    ASSERT_TRUE(queue.next());
    EXPECT_EQ(queue.current(), Purpose::DeleteFavorite);
    EXPECT_EQ(queue.waitingCount(), 1);
}

} // namespace
} // namespace kova
