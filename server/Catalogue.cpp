#include "server/Catalogue.h"

#include "server/HostileTexts.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {
namespace {

quint64 mix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A small deterministic generator (splitmix64) seeded per row.
class Rng {
public:
    explicit Rng(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        m_state += 0x9E3779B97F4A7C15ULL;
        return mix(m_state);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
    const QString& pick(const QStringList& list) { return list.at(below(static_cast<int>(list.size()))); }

private:
    quint64 m_state;
};

struct Merchant {
    QString name;
    QString code;
    int weight;
};

const QList<Merchant>& merchants()
{
    static const QList<Merchant> list = {
        {u"淘宝网"_s, u"taobao"_s, 28}, {u"天猫商城"_s, u"tmall"_s, 18}, {u"京东商城"_s, u"jd"_s, 14},
        {u"亚马逊"_s, u"amazon"_s, 8},  {u"当当网"_s, u"dangdang"_s, 7}, {u"苏宁易购"_s, u"suning"_s, 8},
        {u"1号店"_s, u"yhd"_s, 7},      {u"国美在线"_s, u"gome"_s, 4},   {u"易迅网"_s, u"yixun"_s, 3},
        {u"聚美优品"_s, u"jumei"_s, 3},
    };
    return list;
}

const Merchant& pickMerchant(Rng& rng)
{
    int total = 0;
    for (const Merchant& m : merchants())
        total += m.weight;
    int r = rng.below(total);
    for (const Merchant& m : merchants()) {
        if (r < m.weight)
            return m;
        r -= m.weight;
    }
    return merchants().front();
}

QString productName(Rng& rng, const QString& word)
{
    static const QStringList prefixes = {u""_s,
                                         u""_s,
                                         u""_s,
                                         u"2024新款 "_s,
                                         u"正品 "_s,
                                         u"【包邮】"_s,
                                         u"【限时特价】"_s,
                                         u"热卖 "_s,
                                         u"官方正品 "_s,
                                         u"新品上市 "_s};
    static const QStringList brands = {u"华为"_s,     u"小米"_s, u"美的"_s,   u"海尔"_s,   u"欧莱雅"_s,
                                       u"兰蔻"_s,     u"李宁"_s, u"安踏"_s,   u"飞利浦"_s, u"格力"_s,
                                       u"雅诗兰黛"_s, u"耐克"_s, u"苏泊尔"_s, u"九阳"_s,   u"联想"_s,
                                       u"三星"_s,     u"索尼"_s, u"佳能"_s,   u"百雀羚"_s, u"回力"_s};
    static const QStringList editions = {u"标准版"_s, u"升级版"_s, u"豪华版"_s, u"黑色"_s,
                                         u"白色"_s,   u"50ml"_s,   u"大容量"_s, u"经典款"_s,
                                         u"加厚款"_s, u"迷你款"_s, u"礼盒装"_s, u"2件套"_s};
    static const QStringList suffixes = {u""_s,         u"旗舰店正品"_s, u"官方授权"_s, u"全国联保"_s,
                                         u"送礼佳品"_s, u"包邮"_s,       u"超值装"_s,   u"国行正品"_s,
                                         u"原装进口"_s, u"特价清仓"_s,   u"买一送一"_s, u"正品保证"_s};
    QString name = rng.pick(prefixes) + rng.pick(brands) + u' ' + word + u' ' + rng.pick(editions);
    const QString& suffix = rng.pick(suffixes);
    if (!suffix.isEmpty())
        name += u' ' + suffix;
    return name;
}

QString priceText(Rng& rng)
{
    const double value = std::exp(std::log(5.0) + rng.unit() * (std::log(6000.0) - std::log(5.0)));
    const auto whole = static_cast<qint64>(value);
    switch (rng.below(4)) {
    case 0:
        return QString::number(whole);
    case 1:
        return QString::number(whole) + u'.' + QString::number(rng.between(1, 9));
    case 2:
        return QString::number(whole) + u'.' + QString::number(rng.between(1, 9)) +
               QString::number(rng.below(10));
    default:
        return QString::number(whole) + u".00"_s;
    }
}

QString popularityText(Rng& rng)
{
    if (rng.below(100) < 8)
        return {};
    switch (rng.below(4)) {
    case 0:
        return QString::number(rng.between(0, 10));
    case 1:
        return QString::number(rng.between(11, 100));
    case 2:
        return QString::number(rng.between(101, 1000));
    default:
        return QString::number(rng.between(1001, 60000));
    }
}

QString linkPath(Rng& rng, const Merchant& merchant, const QString& cph)
{
    const QString head = u"/item.htm?id="_s + cph;
    if (merchant.code == u"taobao" || merchant.code == u"tmall") {
        const QString pid = u"mm_%1_%2_%3"_s.arg(rng.between(10000000, 99999999))
                                .arg(rng.between(0, 9999999))
                                .arg(rng.between(0, 999999999));
        if (rng.below(2) == 0)
            return head + u"&pid="_s + pid;
        return head + u"&pid="_s + pid + u"&spm=a230r.1.14."_s + QString::number(rng.between(1, 99));
    }
    if (merchant.code == u"jd")
        return head + u"&unionId="_s + QString::number(rng.between(100000000, 999999999)) + u"&t=1"_s;
    return head + u"&src="_s + merchant.code;
}

QString updatedText(Rng& rng)
{
    return u"2024-%1-%2 %3:%4"_s.arg(rng.between(1, 12), 2, 10, QLatin1Char('0'))
        .arg(rng.between(1, 28), 2, 10, QLatin1Char('0'))
        .arg(rng.between(0, 23), 2, 10, QLatin1Char('0'))
        .arg(rng.between(0, 59), 2, 10, QLatin1Char('0'));
}

QString promotionText(Rng& rng)
{
    static const QStringList promotions = {u""_s,          u""_s,           u""_s,         u""_s,
                                           u"满200减20"_s, u"包邮"_s,       u"限时折扣"_s, u"下单送赠品"_s,
                                           u"送运费险"_s,  u"第二件半价"_s, u"满99包邮"_s, u"领券立减10元"_s};
    return rng.pick(promotions);
}

enum class Special { Plain, BrokenPicture, HugePicture, Hostile, JunkPrice };

struct SpecialWord {
    int rows;
    Special kind;
};

std::optional<SpecialWord> specialWord(const QString& word)
{
    // Any other suffix names another keyword of the same size: new products, new pictures.
    static const QRegularExpression test(u"^test(0|[1-9][0-9]{0,5})(?:-([a-z0-9]{1,16}))?$"_s);
    static const QRegularExpression hostile(u"^(hostile|junkprice)(0|[1-9][0-9]{0,4})$"_s);
    if (const QRegularExpressionMatch m = test.match(word); m.hasMatch()) {
        const int rows = m.captured(1).toInt();
        if (rows > Catalogue::maxRows)
            return std::nullopt;
        const QString tag = m.captured(2);
        return SpecialWord{rows, tag == u"brokenpic" ? Special::BrokenPicture
                                 : tag == u"badpic"  ? Special::HugePicture
                                                     : Special::Plain};
    }
    if (const QRegularExpressionMatch m = hostile.match(word); m.hasMatch()) {
        const int rows = m.captured(2).toInt();
        if (rows > Catalogue::maxHostileRows)
            return std::nullopt;
        return SpecialWord{rows, m.captured(1) == u"hostile" ? Special::Hostile : Special::JunkPrice};
    }
    return std::nullopt;
}

// The service's popular searches, the hot keywords of the client's start page: each one
// always gives a full page of offers (20 to 300 rows).
bool isPopularKeyword(const QString& word)
{
    static const QSet<QString> popular = {
        u"舌尖中国"_s, u"婴儿奶粉"_s,   u"左旋肉碱"_s, u"减肥药"_s,     u"瘦腿精油"_s,   u"按摩器"_s,
        u"健身器"_s,   u"胶原蛋白"_s,   u"女装新款"_s, u"连衣裙"_s,     u"长袖T恤"_s,    u"女装雪纺"_s,
        u"新款韩版"_s, u"情侣装"_s,     u"亲子装"_s,   u"休闲裤"_s,     u"身体美白"_s,   u"防脱生发"_s,
        u"BB霜"_s,     u"香奈儿"_s,     u"芳草集"_s,   u"金戒指"_s,     u"手链"_s,       u"水晶项链"_s,
        u"苹果手机"_s, u"安卓手机"_s,   u"iphone5"_s,  u"iphone4"_s,    u"乐Phone"_s,    u"HTC"_s,
        u"小米手机"_s, u"三星手机"_s,   u"智能手机"_s, u"ipad2"_s,      u"ipad3"_s,      u"ipod"_s,
        u"液晶电视"_s, u"自动洗衣机"_s, u"电冰箱"_s,   u"笔记本电脑"_s, u"苹果/APPLE"_s, u"诺基亚"_s,
        u"联想"_s,     u"华为"_s,       u"ZTE/中兴"_s, u"摩托罗拉"_s,   u"Sony/索尼"_s,  u"OPPO/欧普"_s,
    };
    return popular.contains(word);
}

// The value of a price text that prices may move from: digits, at most ten before an
// optional point, above zero. Anything else ("NaN", "1e308", "-5", "1,299.00") stays as it is.
std::optional<double> movablePrice(const QString& text)
{
    qsizetype point = text.indexOf(u'.');
    const qsizetype whole = point < 0 ? text.size() : point;
    if (whole < 1 || whole > 10)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i != point && (c < u'0' || c > u'9'))
            return std::nullopt;
    }
    const double value = text.toDouble();
    if (!(value > 0))
        return std::nullopt;
    return value;
}

quint64 wordHash(const QString& word)
{
    return stableHash(word.trimmed());
}

Offer makeOffer(const QString& word, int index, const std::optional<SpecialWord>& special)
{
    const QString trimmed = word.trimmed();
    Rng rng(mix(wordHash(word) ^ (static_cast<quint64>(index) * 0x100000001B3ULL)));
    Offer o;
    o.bh = index + 1;
    o.cph = Catalogue::keywordId(word) + u"%1"_s.arg(index, 5, 10, QLatin1Char('0'));
    o.name = productName(rng, trimmed);
    o.popularity = popularityText(rng);
    o.price = priceText(rng);
    const Merchant& merchant = pickMerchant(rng);
    o.merchant = merchant.name;
    o.linkPath = linkPath(rng, merchant, o.cph);
    o.updated = updatedText(rng);
    o.promotion = promotionText(rng);
    if (!special)
        return o;
    const bool middle = index == special->rows / 2;
    switch (special->kind) {
    case Special::Plain:
        break;
    case Special::BrokenPicture:
        o.brokenThumbnail = middle;
        break;
    case Special::HugePicture:
        o.hugePicture = middle;
        break;
    case Special::Hostile:
        o.name = hostileNames().at(index % hostileNames().size());
        o.promotion = hostilePromotions().at(index % hostilePromotions().size());
        break;
    case Special::JunkPrice:
        o.price = junkPrices().at(index % junkPrices().size());
        break;
    }
    return o;
}

} // namespace

quint64 stableHash(const QString& text)
{
    quint64 h = 0xCBF29CE484222325ULL;
    for (const char c : text.toUtf8()) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ULL;
    }
    return h;
}

QString Offer::thumbnailPath() const
{
    if (hugePicture)
        return u"/pic/huge/"_s + cph + u".jpg"_s;
    if (brokenThumbnail)
        return u"/pic/missing/"_s + cph + u".jpg"_s;
    return u"/pic/"_s + cph + u".jpg"_s;
}

QString Offer::largePicturePath() const
{
    if (hugePicture)
        return u"/pic/huge/"_s + cph + u"_b.jpg"_s;
    return u"/pic/"_s + cph + u"_b.jpg"_s;
}

int Catalogue::rowCount(const QString& word)
{
    const QString trimmed = word.trimmed();
    if (const auto special = specialWord(trimmed))
        return special->rows;
    if (trimmed.isEmpty())
        return 0;
    const quint64 h = mix(wordHash(trimmed));
    if (isPopularKeyword(trimmed))
        return 20 + static_cast<int>((h >> 16) % 281);
    const int r = static_cast<int>(h % 100);
    if (r < 5)
        return 0;
    if (r < 80)
        return 1 + static_cast<int>((h >> 16) % 80);
    return 80 + static_cast<int>((h >> 16) % 221);
}

QList<Offer> Catalogue::offers(const QString& word)
{
    const int rows = rowCount(word);
    const auto special = specialWord(word.trimmed());
    QList<Offer> list;
    list.reserve(rows);
    for (int i = 0; i < rows; ++i)
        list.append(makeOffer(word, i, special));
    return list;
}

std::optional<Offer> Catalogue::offer(const QString& word, int bh)
{
    const int rows = rowCount(word);
    if (bh < 1 || bh > rows)
        return std::nullopt;
    return makeOffer(word, bh - 1, specialWord(word.trimmed()));
}

QString Catalogue::keywordId(const QString& word)
{
    return QString::number(10000000 + wordHash(word) % 90000000);
}

std::optional<std::pair<QString, int>> Catalogue::splitProductNumber(const QString& cph)
{
    if (cph.size() != 13)
        return std::nullopt;
    for (const QChar c : cph) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    return std::pair{cph.left(8), cph.mid(8).toInt() + 1};
}

QString Catalogue::currentPrice(const QString& saved, const QString& cph, int drops)
{
    QString price = saved;
    for (int i = 0; i < drops; ++i)
        price = currentPrice(price, cph, true);
    return price;
}

QString Catalogue::priceOnDay(const QString& base, const QString& cph, int day)
{
    const auto movable = movablePrice(base);
    if (day == 0 || !movable)
        return base;
    const double value = *movable;
    const quint64 h =
        mix(stableHash(cph) ^ (static_cast<quint64>(static_cast<unsigned>(day)) * 0x9E3779B97F4A7C15ULL));
    const double factor = 1.0 + (static_cast<double>(h % 31) - 15.0) / 100.0;
    if (!base.contains(u'.'))
        return QString::number(std::max<qint64>(1, std::llround(value * factor)));
    const double cents = std::max(1.0, std::round(value * factor * 100.0));
    return QString::number(cents / 100.0, 'f', 2);
}

QString Catalogue::currentPrice(const QString& saved, const QString& cph, bool dropped)
{
    const auto movable = movablePrice(saved);
    if (!dropped || !movable)
        return saved;
    const double before = *movable;
    const quint64 h = mix(stableHash(cph));
    const double factor = 1.0 - static_cast<double>(5 + h % 16) / 100.0;
    double cents = std::round(before * factor * 100.0);
    const double savedCents = std::round(before * 100.0);
    if (cents >= savedCents)
        cents = savedCents - 1;
    if (cents < 1)
        cents = 1;
    const double after = cents / 100.0;
    if (!saved.contains(u'.') && std::fmod(cents, 100.0) == 0.0)
        return QString::number(static_cast<qint64>(after));
    return QString::number(after, 'f', 2);
}

} // namespace kova::standin
