// An account's favorites: adding and deleting them (OpFav.aspx) and the favorites and
// price-drop lists (ListAllMyFav.aspx). A favorite's current price is its saved price
// until prices are dropped on purpose (dropPricesNow(), /__control/drop-prices or
// ServerOptions::dropPrices).
#include "server/Pages.h"
#include "server/ServerImpl.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

Reply StandInServer::Impl::opFav(const QueryString& query)
{
    const QString user = query.value(u"u");
    if (!store->checkAccount(user, query.value(u"p")))
        return Reply::page(pages::message(u"操作失败"_s, u"用户验证失败"_s), 403);
    bool ok = false;
    if (query.has(u"uf")) {
        const qint64 ufid = query.value(u"uf").trimmed().toLongLong(&ok);
        if (!ok)
            return Reply::page(pages::message(u"操作失败"_s, u"收藏编号无效"_s), 400);
        if (!store->deleteFavorite(user, ufid))
            return Reply::page(pages::message(u"操作失败"_s, u"收藏不存在"_s), 404);
        return Reply::page(pages::message(u"删除收藏"_s, u"OK"_s));
    }
    if (query.has(u"i")) {
        const int bh = query.value(u"i").trimmed().toInt(&ok);
        if (!ok)
            return Reply::page(pages::message(u"操作失败"_s, u"序号无效"_s), 400);
        const auto word = store->lastSearch(user);
        auto offer = word ? Catalogue::offer(*word, bh) : std::nullopt;
        if (offer)
            offer->price = Catalogue::priceOnDay(offer->price, offer->cph, priceDay);
        if (!offer)
            return Reply::page(pages::message(u"操作失败"_s, u"没有这条搜索结果"_s), 404);
        store->addFavorite(user, *offer, now().toString(u"yyyy-MM-dd hh:mm:ss"_s));
        return Reply::page(pages::message(u"添加收藏"_s, u"OK"_s));
    }
    return Reply::page(pages::message(u"操作失败"_s, u"缺少参数"_s), 400);
}

Reply StandInServer::Impl::listAllMyFav(const QueryString& query)
{
    const QString user = query.value(u"u");
    const bool dropsOnly = query.value(u"d") == u"down";
    const QString title = dropsOnly ? u"商品降价通知"_s : u"商品收藏夹"_s;
    if (!store->checkAccount(user, query.value(u"p")))
        return Reply::page(pages::message(title, u"用户验证失败，无法读取收藏。"_s));
    const QList<Favorite> favorites = store->favorites(user);
    QList<pages::FavoriteRow> rows;
    for (const Favorite& f : favorites) {
        const QString current =
            Catalogue::currentPrice(f.savedPrice, f.cph, std::max(f.drops, options.dropPrices ? 1 : 0));
        if (dropsOnly && !(current.toDouble() < f.savedPrice.toDouble()))
            continue;
        rows.append({&f, current});
    }
    return Reply::page(pages::favorites(user, rows, dropsOnly, directoryUrl()));
}

} // namespace kova::standin
