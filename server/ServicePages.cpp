// Routing of every request, the comparison service's result and comparison pages, the
// account page and the version page; the keyword ids behind product numbers.
#include "server/Pages.h"
#include "server/ServerImpl.h"

#include <QRegularExpression>

#include <httplib.h>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

Reply Reply::notFound()
{
    return page(pages::message(u"页面不存在"_s, u"您访问的页面不存在。"_s), 404);
}

Reply StandInServer::Impl::route(HostKind kind, const httplib::Request& req)
{
    const QString path = QString::fromStdString(req.path);
    const QueryString query(req.target);
    if (kind == HostKind::Service && path.startsWith(u"/__control/"_s)) {
        Reply reply = controlRoute(path, query);
        reply.control = true;
        return reply;
    }
    switch (kind) {
    case HostKind::Service:
        return serviceRoute(path, query);
    case HostKind::Version:
        return versionRoute(path);
    case HostKind::Directory:
        return directoryRoute(path, query);
    }
    return Reply::notFound();
}

Reply StandInServer::Impl::serviceRoute(const QString& path, const QueryString& query)
{
    const QString lower = path.toLower();
    if (lower == u"/" || lower == u"/default.aspx")
        return Reply::page(pages::home(serviceUrl()));
    if (lower == u"/contact.html")
        return Reply::page(pages::contact());
    if (lower == u"/list.aspx") {
        const QString word = query.value(u"k");
        return Reply::page(pages::comparison(word, catalogue(word), directoryUrl()));
    }
    if (lower == u"/randomuser.aspx")
        return Reply::page(pages::account(store->createAccount()));
    if (lower == u"/listall.aspx")
        return listAll(query);
    if (lower == u"/opfav.aspx")
        return opFav(query);
    if (lower == u"/listallmyfav.aspx")
        return listAllMyFav(query);
    return Reply::notFound();
}

Reply StandInServer::Impl::listAll(const QueryString& query)
{
    const QString word = query.value(u"word");
    const QString user = query.value(u"u");
    const QList<Offer> offers = catalogue(word);
    QSet<QString> favorites;
    if (store->checkAccount(user, query.value(u"p"))) {
        favorites = store->favoriteProducts(user);
        store->rememberSearch(user, word);
    }
    const auto view =
        query.value(u"view") == u"browser" ? pages::ResultView::Browser : pages::ResultView::Service;
    return Reply::page(pages::results(word, offers, favorites, directoryUrl(), view));
}

Reply StandInServer::Impl::versionRoute(const QString& path)
{
    static const QRegularExpression pattern(u"^/Ver/Ver[0-9A-Za-z._-]{1,32}\\.html$"_s);
    if (pattern.match(path).hasMatch())
        return Reply::page(pages::version(options.pid, options.unionId));
    return Reply::notFound();
}

QList<Offer> StandInServer::Impl::catalogue(const QString& word)
{
    const QString key = word.trimmed();
    const QString id = Catalogue::keywordId(key);
    bool newKeyword = false;
    {
        std::lock_guard lock(keywordMutex);
        newKeyword = knownKeywords.value(id) != key;
        if (newKeyword)
            knownKeywords.insert(id, key);
    }
    if (newKeyword)
        store->rememberKeyword(id, key);
    QList<Offer> offers = Catalogue::offers(key);
    const int day = priceDay;
    for (Offer& o : offers)
        o.price = Catalogue::priceOnDay(o.price, o.cph, day);
    return offers;
}

std::optional<Offer> StandInServer::Impl::offerForProduct(const QString& cph)
{
    const auto parts = Catalogue::splitProductNumber(cph);
    if (!parts)
        return std::nullopt;
    std::optional<QString> word;
    {
        std::lock_guard lock(keywordMutex);
        const auto it = knownKeywords.constFind(parts->first);
        if (it != knownKeywords.constEnd())
            word = *it;
    }
    if (!word) {
        word = store->keywordFor(parts->first);
        if (!word)
            return std::nullopt;
        std::lock_guard lock(keywordMutex);
        knownKeywords.insert(parts->first, *word);
    }
    auto offer = Catalogue::offer(*word, parts->second);
    if (offer)
        offer->price = Catalogue::priceOnDay(offer->price, offer->cph, priceDay);
    return offer;
}

} // namespace kova::standin
