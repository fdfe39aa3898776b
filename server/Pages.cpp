#include "server/Pages.h"

#include "server/Catalogue.h"
#include "server/StandInStore.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin::pages {
namespace {

const QString crlf = u"\r\n"_s;

QString head(const QString& title)
{
    return u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"><title>"_s +
           escape(title) + u"</title></head>"_s + crlf;
}

QString tail()
{
    return u"</body></html>"_s + crlf;
}

void appendCell(QString& page, const QString& value, bool markup)
{
    page += u"<TD>"_s;
    page += markup ? value : escape(value, true);
    page += u"</TD>"_s;
}

// `markupCell`: the index of a cell whose value is markup, written as it is.
void appendRow(QString& page, const QStringList& cells, qsizetype markupCell = -1)
{
    page += u"<TR>"_s + crlf;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        appendCell(page, cells.at(i), i == markupCell);
        if (i + 1 == cells.size())
            page += u"</TR>"_s;
        page += crlf;
    }
}

QString link(const QString& href, const QString& text)
{
    return u"<a href=\""_s + escape(href) + u"\">"_s + escape(text) + u"</a>"_s;
}

} // namespace

QString escape(const QString& text, bool keepLineBreaks)
{
    const auto special = [keepLineBreaks](QChar c) {
        return c == u'&' || c == u'<' || c == u'>' || c == u'"' ||
               (!keepLineBreaks && (c == u'\r' || c == u'\n')) ||
               (c.unicode() >= 0x80 && c.category() == QChar::Other_Format);
    };
    if (std::none_of(text.begin(), text.end(), special))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!special(c)) {
            out += c;
            continue;
        }
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;"_s;
            break;
        case u'<':
            out += u"&lt;"_s;
            break;
        case u'>':
            out += u"&gt;"_s;
            break;
        case u'"':
            out += u"&quot;"_s;
            break;
        case u'\r':
        case u'\n':
            out += u' ';
            break;
        default:
            out += u"&#"_s + QString::number(c.unicode()) + u';';
        }
    }
    return out;
}

QString account(const QString& user)
{
    return u"<html><head><title>RandomUser</title></head>"_s + crlf + u"<body>"_s + escape(user) + crlf +
           tail();
}

QString results(const QString& word, const QList<Offer>& offers, const QSet<QString>& favorites,
                const QString& directoryUrl, ResultView view)
{
    const bool browser = view == ResultView::Browser;
    QString page;
    page.reserve(200 + offers.size() * 450); // about 400 characters a row
    page += head(u"比价结果 - "_s + word);
    page += u"<body>"_s + crlf;
    page += u"<table border=\"1\" cellspacing=\"0\">"_s + crlf;
    for (const Offer& o : offers) {
        const QString thumbnail = directoryUrl + o.thumbnailPath();
        appendRow(page,
                  {QString::number(o.bh), o.cph, o.name,
                   browser ? u"<img src=\""_s + escape(thumbnail) + u"\" width=\"120\" height=\"120\">"_s
                           : thumbnail,
                   directoryUrl + o.largePicturePath(), o.popularity, o.price, directoryUrl + o.linkPath,
                   o.merchant, o.updated, o.promotion, QString(),
                   favorites.contains(o.cph) ? u"Yes"_s : u"No"_s},
                  browser ? 3 : -1);
    }
    page += u"</table>"_s + crlf;
    page += tail();
    return page;
}

QString favorites(const QString& user, const QList<FavoriteRow>& rows, bool dropsOnly,
                  const QString& directoryUrl)
{
    QString page = head(dropsOnly ? u"商品降价通知"_s : u"商品收藏夹"_s);
    page += u"<body>"_s + crlf;
    page += u"<p>"_s + escape(user) + (dropsOnly ? u" 的降价通知</p>"_s : u" 的收藏夹</p>"_s) + crlf;
    page += u"<table border=\"1\" cellspacing=\"0\">"_s + crlf;
    appendRow(page, {u"序列"_s, u"用户"_s, u"收藏编号"_s, u"商品编号"_s, u"商品名称"_s, u"小图"_s, u"大图"_s,
                     u"收藏时间"_s, u"收藏价格"_s, u"更新价格"_s, u"商品链接"_s, u"商家"_s});
    for (const FavoriteRow& row : rows) {
        const Favorite& f = *row.favorite;
        appendRow(page, {QString::number(f.ufid), f.user, f.scid, f.cph, f.name,
                         directoryUrl + f.thumbnailPath, directoryUrl + f.largePicturePath, f.savedAt,
                         f.savedPrice, row.currentPrice, directoryUrl + f.linkPath, f.merchant});
    }
    page += u"</table>"_s + crlf;
    page += tail();
    return page;
}

QString message(const QString& title, const QString& text)
{
    return head(title) + u"<body>"_s + crlf + u"<p>"_s + escape(text) + u"</p>"_s + crlf + tail();
}

QString version(const QString& pid, const QString& unionId)
{
    return head(u"Kova 版本信息"_s) + u"<body>"_s + crlf + u"AAA="_s + escape(pid) + u"BBB="_s +
           escape(unionId) + u"CCC="_s + crlf + tail();
}

QString home(const QString& serviceUrl)
{
    return head(u"Kova比价 官方网站"_s) + u"<body>"_s + crlf + u"<h1>Kova比价 官方网站</h1>"_s + crlf +
           u"<p>比较淘宝网、天猫商城、京东商城、亚马逊、当当网、苏宁易购、1号店的商品价格。</p>"_s + crlf +
           u"<p>"_s + link(serviceUrl + u"/list.aspx?k=BB%CB%AA"_s, u"精准比价示例：BB霜"_s) + u"</p>"_s +
           crlf + u"<p>"_s + link(serviceUrl + u"/contact.html"_s, u"用户反馈"_s) + u"</p>"_s + crlf + tail();
}

QString contact()
{
    return head(u"用户反馈"_s) + u"<body>"_s + crlf + u"<h1>用户反馈</h1>"_s + crlf +
           u"<p>欢迎提出您的意见和建议。电子邮件：feedback@kova.example</p>"_s + crlf + tail();
}

QString comparison(const QString& word, const QList<Offer>& offers, const QString& directoryUrl)
{
    QString page = head(u"精准比价 - "_s + word) + u"<body>"_s + crlf;
    page += u"<h1>精准比价：“"_s + escape(word) + u"”</h1>"_s + crlf;
    page += u"<p>共有 "_s + QString::number(offers.size()) + u" 个报价</p>"_s + crlf;
    page += u"<table border=\"1\" cellspacing=\"0\">"_s + crlf;
    page += u"<tr><th>图片</th><th>商品名称</th><th>价格</th><th>商家</th></tr>"_s + crlf;
    const qsizetype shown = std::min<qsizetype>(offers.size(), 50);
    for (qsizetype i = 0; i < shown; ++i) {
        const Offer& o = offers.at(i);
        page += u"<tr><td><img src=\""_s + escape(directoryUrl + o.thumbnailPath()) + u"\"></td><td>"_s +
                link(directoryUrl + o.linkPath, o.name) + u"</td><td>￥"_s + escape(o.price) +
                u"</td><td>"_s + escape(o.merchant) + u"</td></tr>"_s + crlf;
    }
    page += u"</table>"_s + crlf + tail();
    return page;
}

QString directory(const QString& directoryUrl)
{
    const QList<std::pair<QString, QString>> stores = {
        {u"淘宝网"_s, u"/go/chn/tbk_channel/channelcode.php?pid=mm_12345678_0_0&eventid=101"_s},
        {u"天猫商城"_s, u"/go/chn/tbk_channel/tmall_new.php?pid=mm_12345678_0_0&eventid=102"_s},
        {u"京东商城"_s, u"/JdClick/?unionId=1000123456&t=1&to=http://www.jd.com"_s},
        {u"当当网"_s,
         u"/transfer.php?from=P-123456&ad_type=10&sys_id=1&backurl=http%3A%2F%2Fwww.dangdang.com"_s},
        {u"亚马逊"_s, u"/?_encoding=UTF8&tag=kova-23&linkCode=ur2&camp=536&creative=3200"_s},
        {u"凡客诚品"_s, u"/?source=kova&sourcesuninfo=ad-0-1"_s},
        {u"苏宁易购"_s,
         u"/aas/open/vistorAd.action?userId=12345&webSiteId=0&adInfoId=00&adBookId=0&vistURL=http://www.suning.com"_s},
        {u"1号店"_s, u"/?tracker_u=10977119545"_s},
    };
    QString page =
        head(u"网购网址大全"_s) + u"<body>"_s + crlf + u"<h1>网购网址大全</h1>"_s + crlf + u"<ul>"_s + crlf;
    for (const auto& [name, path] : stores)
        page += u"<li>"_s + link(directoryUrl + path, name) + u"</li>"_s + crlf;
    page += u"</ul>"_s + crlf + tail();
    return page;
}

QString storeEntry(const QString& store, const QList<std::pair<QString, QString>>& parameters)
{
    QString page = head(store + u" - 欢迎光临"_s) + u"<body>"_s + crlf + u"<h1>欢迎光临"_s + escape(store) +
                   u"</h1>"_s + crlf + u"<ul>"_s + crlf;
    for (const auto& [key, value] : parameters)
        page += u"<li>"_s + escape(key) + u" = "_s + escape(value) + u"</li>"_s + crlf;
    page += u"</ul>"_s + crlf + tail();
    return page;
}

QString product(const QString& cph, const Offer* offer, const QString& directoryUrl)
{
    if (!offer)
        return message(u"商品 "_s + cph, u"商品编号 "_s + cph);
    QString page = head(offer->name) + u"<body>"_s + crlf;
    page += u"<h1>"_s + escape(offer->name) + u"</h1>"_s + crlf;
    page += u"<p><img src=\""_s + escape(directoryUrl + offer->largePicturePath()) + u"\"></p>"_s + crlf;
    page += u"<p>价格：￥"_s + escape(offer->price) + u"　商家："_s + escape(offer->merchant) +
            u"　商品编号："_s + escape(cph) + u"</p>"_s + crlf;
    if (!offer->promotion.isEmpty())
        page += u"<p>优惠："_s + escape(offer->promotion) + u"</p>"_s + crlf;
    page += tail();
    return page;
}

} // namespace kova::standin::pages
