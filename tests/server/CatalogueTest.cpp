// The deterministic catalogue, moving prices and the service's query decoding.
#include "server/Catalogue.h"
#include "server/HostileTexts.h"
#include "server/QueryString.h"
#include "ui/FrmkovaUi.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;
using kova::standin::Catalogue;
using kova::standin::Offer;
using kova::standin::QueryString;

namespace {

TEST(Catalogue, TestKeywordsGiveExactRowCounts)
{
    for (int n : {0, 1, 12, 13, 20, 40, 100, 1000, 5000, 10000})
        EXPECT_EQ(Catalogue::offers(u"test%1"_s.arg(n)).size(), n) << n;
    EXPECT_EQ(Catalogue::offers(u"test13-brokenpic"_s).size(), 13);
    // A tag makes another keyword of the same size, with products and pictures of its own.
    const QList<Offer> tagged = Catalogue::offers(u"test13-run2"_s);
    ASSERT_EQ(tagged.size(), 13);
    EXPECT_NE(Catalogue::keywordId(u"test13-run2"_s), Catalogue::keywordId(u"test13"_s));
    EXPECT_NE(Catalogue::keywordId(u"test13-run2"_s), Catalogue::keywordId(u"test13-run3"_s));
    EXPECT_FALSE(std::any_of(tagged.begin(), tagged.end(), [](const Offer& o) { return o.brokenThumbnail; }));
    EXPECT_LE(Catalogue::rowCount(u"test5000-Run"_s), 300);
    EXPECT_LE(Catalogue::rowCount(u"test5000-"_s), 300);
    // Surrounding blanks are ignored; other spellings are ordinary keywords.
    EXPECT_EQ(Catalogue::rowCount(u" test13 "_s), 13);
    // Ordinary keywords never give more than 300 rows, so these are not read as counts.
    EXPECT_LE(Catalogue::rowCount(u"test05000"_s), 300);
    EXPECT_EQ(Catalogue::rowCount(u"test10001"_s), 10001);
    EXPECT_LE(Catalogue::rowCount(u"test200001"_s), 300);
    EXPECT_LE(Catalogue::rowCount(u"test1000000"_s), 300);
    for (const QString& kind : {u"hostile"_s, u"junkprice"_s}) {
        EXPECT_EQ(Catalogue::rowCount(kind + u"0"_s), 0);
        EXPECT_EQ(Catalogue::rowCount(kind + u"10000"_s), 10000);
        EXPECT_LE(Catalogue::rowCount(kind + u"10001"_s), 300);
        EXPECT_LE(Catalogue::rowCount(kind + u"012"_s), 300);
    }
    EXPECT_LE(Catalogue::rowCount(u"Test5000"_s), 300);
}

TEST(Catalogue, OrdinaryKeywordsGiveUpToAFewHundredRowsAndSomeNone)
{
    int empty = 0;
    int longer = 0;
    for (int i = 0; i < 400; ++i) {
        const int rows = Catalogue::rowCount(u"手机%1"_s.arg(i));
        EXPECT_GE(rows, 0);
        EXPECT_LE(rows, 300);
        empty += rows == 0;
        longer += rows > 80;
    }
    EXPECT_GT(empty, 0);
    EXPECT_GT(longer, 0);
    EXPECT_EQ(Catalogue::rowCount(QString()), 0);
}

TEST(Catalogue, EveryHotKeywordOfTheStartPageGivesAFullPage)
{
    for (const QString& word : kova::hotKeywordCaptions()) {
        const int rows = Catalogue::rowCount(word);
        EXPECT_GE(rows, 20) << word.toStdString();
        EXPECT_LE(rows, 300) << word.toStdString();
        EXPECT_EQ(Catalogue::offers(word).size(), rows) << word.toStdString();
        // Typed with blanks around it, it is the same keyword.
        EXPECT_EQ(Catalogue::rowCount(u" "_s + word + u" "_s), rows) << word.toStdString();
    }
}

TEST(Catalogue, SameKeywordSameOffers)
{
    const QList<Offer> a = Catalogue::offers(u"BB霜"_s);
    const QList<Offer> b = Catalogue::offers(u"BB霜"_s);
    ASSERT_EQ(a.size(), b.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].cph, b[i].cph);
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].price, b[i].price);
        EXPECT_EQ(a[i].linkPath, b[i].linkPath);
        EXPECT_EQ(a[i].popularity, b[i].popularity);
    }
    // A single row regenerates identically (favorites and pictures rely on that).
    const auto row = Catalogue::offer(u"BB霜"_s, 3);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name, a[2].name);
    EXPECT_EQ(row->price, a[2].price);
    EXPECT_FALSE(Catalogue::offer(u"BB霜"_s, 0));
    EXPECT_FALSE(Catalogue::offer(u"BB霜"_s, static_cast<int>(a.size()) + 1));
}

TEST(Catalogue, OffersLookLikeRealOnes)
{
    const QList<Offer> offers = Catalogue::offers(u"test1000"_s);
    const QSet<QString> seven = {u"淘宝网"_s, u"天猫商城"_s, u"京东商城"_s, u"亚马逊"_s,
                                 u"当当网"_s, u"苏宁易购"_s, u"1号店"_s};
    QSet<QString> merchants;
    QSet<QString> cphs;
    int genuine = 0, emptyPopularity = 0, bigPopularity = 0, promotions = 0;
    int whole = 0, oneDecimal = 0, twoDecimals = 0, zeroCents = 0;
    static const QRegularExpression priceForm(u"^[0-9]+(\\.[0-9]{1,2})?$"_s);
    for (const Offer& o : offers) {
        merchants.insert(o.merchant);
        cphs.insert(o.cph);
        EXPECT_TRUE(o.name.contains(u"test1000"_s)) << qPrintable(o.name);
        EXPECT_TRUE(priceForm.match(o.price).hasMatch()) << qPrintable(o.price);
        genuine += o.name.contains(u"正品"_s);
        emptyPopularity += o.popularity.isEmpty();
        bigPopularity += o.popularity.toInt() > 10000;
        promotions += !o.promotion.isEmpty();
        const qsizetype dot = o.price.indexOf(u'.');
        whole += dot < 0;
        oneDecimal += dot >= 0 && o.price.size() - dot == 2;
        twoDecimals += dot >= 0 && o.price.size() - dot == 3 && !o.price.endsWith(u".00"_s);
        zeroCents += o.price.endsWith(u".00"_s);
        if (o.merchant == u"淘宝网" || o.merchant == u"天猫商城") {
            EXPECT_TRUE(o.linkPath.contains(u"&pid=mm_"_s)) << qPrintable(o.linkPath);
        }
        if (o.merchant == u"京东商城") {
            EXPECT_TRUE(o.linkPath.contains(u"&unionId="_s)) << qPrintable(o.linkPath);
        }
        EXPECT_TRUE(o.linkPath.startsWith(u"/item.htm?id="_s + o.cph));
        EXPECT_EQ(o.thumbnailPath(), u"/pic/"_s + o.cph + u".jpg"_s);
        EXPECT_EQ(o.largePicturePath(), u"/pic/"_s + o.cph + u"_b.jpg"_s);
    }
    EXPECT_EQ(cphs.size(), offers.size()) << "product numbers are unique";
    EXPECT_TRUE(merchants.contains(seven));
    EXPECT_GT(merchants.size(), seven.size()) << "some merchants outside the seven";
    EXPECT_GT(genuine, 0);
    EXPECT_LT(genuine, offers.size());
    EXPECT_GT(emptyPopularity, 0);
    EXPECT_GT(bigPopularity, 0);
    EXPECT_GT(promotions, 0);
    EXPECT_GT(whole, 0);
    EXPECT_GT(oneDecimal, 0);
    EXPECT_GT(twoDecimals, 0);
    EXPECT_GT(zeroCents, 0);
}

TEST(Catalogue, BrokenPictureKeywordMissesOnlyTheMiddleThumbnail)
{
    const QList<Offer> offers = Catalogue::offers(u"test13-brokenpic"_s);
    for (const Offer& o : offers)
        EXPECT_EQ(o.brokenThumbnail, o.bh == 7) << o.bh;
    EXPECT_TRUE(offers[6].thumbnailPath().startsWith(u"/pic/missing/"_s));
    EXPECT_EQ(offers[6].largePicturePath(), u"/pic/"_s + offers[6].cph + u"_b.jpg"_s);
}

TEST(Catalogue, ProductNumbersSplitBackIntoKeywordAndRow)
{
    const Offer o = *Catalogue::offer(u"BB霜"_s, 5);
    const auto parts = Catalogue::splitProductNumber(o.cph);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->first, Catalogue::keywordId(u"BB霜"_s));
    EXPECT_EQ(parts->second, 5);
    EXPECT_FALSE(Catalogue::splitProductNumber(u"../../etc/pwd"_s));
    EXPECT_FALSE(Catalogue::splitProductNumber(u"123"_s));
    EXPECT_FALSE(Catalogue::splitProductNumber(u"12345678abcde"_s));
}

TEST(Catalogue, CurrentPriceIsTheSavedOneUntilDropped)
{
    static const QRegularExpression twoDecimals(u"^[0-9]+\\.[0-9]{2}$"_s);
    for (const Offer& o : Catalogue::offers(u"test200"_s)) {
        EXPECT_EQ(Catalogue::currentPrice(o.price, o.cph, false), o.price) << "still until dropped";
        const QString dropped = Catalogue::currentPrice(o.price, o.cph, true);
        EXPECT_EQ(dropped, Catalogue::currentPrice(o.price, o.cph, true)) << "deterministic";
        const double before = o.price.toDouble();
        bool ok = false;
        const double after = dropped.toDouble(&ok);
        ASSERT_TRUE(ok) << qPrintable(dropped);
        EXPECT_LT(after, before) << qPrintable(o.price) << " -> " << qPrintable(dropped);
        EXPECT_GT(after, 0.0);
        if (before >= 10) {
            EXPECT_GE(after / before, 0.79) << qPrintable(o.price) << " -> " << qPrintable(dropped);
            EXPECT_LE(after / before, 0.951) << qPrintable(o.price) << " -> " << qPrintable(dropped);
        }
        // Two decimals, or none when the saved price has none and the new one is whole.
        if (dropped.contains(u'.'))
            EXPECT_TRUE(twoDecimals.match(dropped).hasMatch()) << qPrintable(dropped);
        else
            EXPECT_FALSE(o.price.contains(u'.')) << qPrintable(o.price) << " -> " << qPrintable(dropped);
    }
    EXPECT_EQ(Catalogue::currentPrice(u"abc"_s, u"1"_s, true), u"abc"_s);
    EXPECT_EQ(Catalogue::currentPrice(u"0"_s, u"1"_s, true), u"0"_s);
}

TEST(QueryDecoding, PercentEscapesAreGbkBytesAndPlusStays)
{
    const QueryString q("/ListAll.aspx?word=BB%CB%AA+x%26y&u=k1&P=mivra&u=second&empty=&flag");
    EXPECT_EQ(q.value(u"word"), u"BB霜+x&y"_s);
    EXPECT_EQ(q.value(u"u"), u"k1"_s) << "the first occurrence wins";
    EXPECT_EQ(q.value(u"p"), u"mivra"_s) << "keys compare without case";
    EXPECT_TRUE(q.has(u"empty"));
    EXPECT_EQ(q.value(u"empty"), QString());
    EXPECT_TRUE(q.has(u"flag"));
    EXPECT_FALSE(q.has(u"missing"));
    EXPECT_EQ(QueryString("/RandomUser.aspx").items().size(), 0);
}

TEST(QueryDecoding, MalformedEscapesStayLiteral)
{
    EXPECT_EQ(kova::standin::percentDecode("%41%zz%4"), QByteArray("A%zz%4"));
    EXPECT_EQ(kova::standin::percentDecode("%"), QByteArray("%"));
    EXPECT_EQ(kova::standin::percentDecode("a+b%2b"), QByteArray("a+b+"));
    // Bytes that are not GBK do not end the reading.
    const QueryString q("/x?word=%FF%FFabc");
    EXPECT_TRUE(q.value(u"word").endsWith(u"abc"_s));
}

} // namespace

namespace {

TEST(Catalogue, JunkPricesNeverMoveAndHostileRowsAreOrdinaryElsewhere)
{
    const QList<Offer> junk = Catalogue::offers(u"junkprice15"_s);
    const QList<Offer> hostile = Catalogue::offers(u"hostile15"_s);
    ASSERT_EQ(junk.size(), 15);
    ASSERT_EQ(hostile.size(), 15);
    for (int i = 0; i < 15; ++i) {
        const QString& price = junk[i].price;
        EXPECT_EQ(price, kova::standin::junkPrices().at(i));
        // Only the four valid prices (the last four) move by day or drop.
        const bool number = i >= 11;
        EXPECT_EQ(Catalogue::priceOnDay(price, junk[i].cph, 7) != price, number) << qPrintable(price);
        EXPECT_EQ(Catalogue::currentPrice(price, junk[i].cph, 3) != price, number) << qPrintable(price);
        EXPECT_EQ(hostile[i].name, kova::standin::hostileNames().at(i));
        EXPECT_FALSE(hostile[i].merchant.isEmpty());
        EXPECT_TRUE(hostile[i].linkPath.startsWith(u"/item.htm?id="_s + hostile[i].cph));
    }
    EXPECT_EQ(Catalogue::offer(u"hostile40"_s, 32)->promotion, kova::standin::hostilePromotions().at(1));
    const QList<Offer> badpic = Catalogue::offers(u"test9-badpic"_s);
    for (const Offer& o : badpic)
        EXPECT_EQ(o.hugePicture, o.bh == 5) << o.bh;
}

} // namespace
