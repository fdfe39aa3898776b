// The shopping-site directory host: the directory, the stores' entry pages, product
// pages and the drawn product pictures.
#include "server/HostileTexts.h"
#include "server/Pages.h"
#include "server/ServerImpl.h"

#include "store/Gbk.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace kova::standin {

namespace {

bool isPictureName(const QString& name)
{
    static const QRegularExpression pattern(u"^[0-9A-Za-z]{1,40}$"_s);
    return pattern.match(name).hasMatch();
}

Reply missingPicture()
{
    Reply missing = Reply::page(pages::message(u"图片不存在"_s, u"您访问的图片不存在。"_s), 404);
    missing.kind = BodyKind::Other;
    missing.bytes = gbk::encode(missing.html);
    missing.contentType = gbkHtml;
    return missing;
}

} // namespace

Reply StandInServer::Impl::directoryRoute(const QString& path, const QueryString& query)
{
    if (path == u"/") {
        if (query.has(u"_encoding") || query.has(u"tag"))
            return Reply::page(pages::storeEntry(u"亚马逊"_s, query.items()));
        if (query.has(u"source"))
            return Reply::page(pages::storeEntry(u"凡客诚品"_s, query.items()));
        if (query.has(u"tracker_u"))
            return Reply::page(pages::storeEntry(u"1号店"_s, query.items()));
        return Reply::page(pages::directory(directoryUrl()));
    }
    static const QList<std::pair<QString, QString>> entries = {
        {u"/go/chn/tbk_channel/channelcode.php"_s, u"淘宝网"_s},
        {u"/go/chn/tbk_channel/tmall_new.php"_s, u"天猫商城"_s},
        {u"/JdClick/"_s, u"京东商城"_s},
        {u"/JdClick"_s, u"京东商城"_s},
        {u"/transfer.php"_s, u"当当网"_s},
        {u"/aas/open/vistorAd.action"_s, u"苏宁易购"_s},
    };
    for (const auto& [entryPath, store] : entries) {
        if (path == entryPath)
            return Reply::page(pages::storeEntry(store, query.items()));
    }
    if (path == u"/item.htm") {
        const QString cph = query.value(u"id");
        const auto offer = offerForProduct(cph);
        return Reply::page(pages::product(cph, offer ? &*offer : nullptr, directoryUrl()), offer ? 200 : 404);
    }
    if (path.startsWith(u"/pic/huge/"_s) && path.endsWith(u".jpg"_s)) {
        const QString file = path.mid(10, path.size() - 14);
        if (!isPictureName(file.endsWith(u"_b"_s) ? file.left(file.size() - 2) : file))
            return missingPicture();
        Reply reply;
        reply.kind = BodyKind::Picture;
        reply.contentType = "image/jpeg";
        reply.bytes = hugeHeaderJpeg();
        return reply;
    }
    if (path.startsWith(u"/pic/"_s) && path.endsWith(u".jpg"_s))
        return picture(path.mid(5, path.size() - 9));
    return Reply::notFound();
}

Reply StandInServer::Impl::picture(const QString& file)
{
    const bool large = file.endsWith(u"_b"_s);
    const QString cph = large ? file.left(file.size() - 2) : file;
    if (!isPictureName(cph))
        return missingPicture();
    Reply reply;
    reply.kind = BodyKind::Picture;
    reply.contentType = "image/jpeg";
    PictureSubject subject{cph, {}, {}, {}};
    if (const auto offer = offerForProduct(cph)) {
        subject.name = offer->name;
        subject.merchant = offer->merchant;
        subject.price = offer->price;
    }
    reply.bytes = large ? painter->largePicture(subject) : painter->thumbnail(subject);
    return reply;
}

} // namespace kova::standin
