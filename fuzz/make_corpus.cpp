// kova-fuzz-corpus: writes the seed corpus of the fuzz targets from the stand-in server's
// own pages and pictures, fetched over HTTP exactly as the program fetches them.
//
// usage: kova-fuzz-corpus <corpus folder>   (one sub-folder per target; files replaced)

#include "search/AccountReply.h"
#include "search/ResultPageReader.h"
#include "server/StandInServer.h"
#include "service/HtmlToText.h"
#include "service/HttpClient.h"
#include "service/PageLoader.h"
#include "service/PageText.h"
#include "service/Requests.h"
#include "store/Cipher.h"
#include "store/Error.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <utility>

namespace {

using kova::standin::Fault;

class CorpusWriter {
public:
    explicit CorpusWriter(QString root) : m_root(std::move(root)) {}

    void write(const QString& target, const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(m_root + u'/' + target);
        QFile file(m_root + u'/' + target + u'/' + name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            throw kova::Error(QStringLiteral("cannot write ") + file.fileName());
        ++m_files;
    }
    int files() const { return m_files; }

private:
    QString m_root;
    int m_files = 0;
};

struct Page {
    QByteArray contentType;
    QByteArray body;
    QString document; // as the page loader hands it to the readers
};

Page fetchPage(kova::HttpClient& http, const QString& url)
{
    const kova::HttpReply reply = http.get(url);
    return {reply.contentType, reply.body, kova::serializeDocument(reply.body, reply.contentType)};
}

// Writes a page for the document target (header block + body) and, when a reader target
// is named, its document text for that reader.
void writePage(CorpusWriter& out, const QString& name, const Page& page, const QString& readerTarget)
{
    out.write(QStringLiteral("page_document"), name,
              QByteArrayLiteral("Content-Type: ") + page.contentType + QByteArrayLiteral("\r\n\r\n") +
                  page.body);
    if (!readerTarget.isEmpty())
        out.write(readerTarget, name, page.document.toUtf8());
}

// The product link cells of a result or list page (cells holding an address with a query).
QStringList linkCells(const QString& document)
{
    QStringList cells;
    const kova::PageText text(document);
    for (int i = 0; i < text.count(); ++i) {
        const QString value = kova::CellValue(text.line(i));
        if (value.contains(QStringLiteral("item.htm?")))
            cells << value;
    }
    return cells;
}

// The thumbnail addresses of a result page.
QStringList pictureAddresses(const QString& document)
{
    QStringList addresses;
    static const QRegularExpression picture(QStringLiteral("http://[^<\"]*/pic/[A-Za-z0-9]+(_b)?\\.jpg"));
    auto it = picture.globalMatch(document);
    while (it.hasNext())
        addresses << it.next().captured(0);
    return addresses;
}

int run(const QString& root)
{
    QTemporaryDir data;
    kova::standin::StandInServer server;
    kova::standin::ServerOptions options;
    options.dataDir = data.path();
    server.start(options);
    const kova::Requests requests(server.serviceUrl(), server.versionUrl(), server.directoryUrl());
    kova::HttpClient http;
    CorpusWriter out(root);

    const QString results = QStringLiteral("result_page");
    const QString lists = QStringLiteral("favorites_list");

    const Page account = fetchPage(http, requests.randomUser());
    writePage(out, QStringLiteral("random-user"), account, results);
    static const QRegularExpression idPattern(QStringLiteral("<body>\\s*([A-Za-z0-9]+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString user = idPattern.match(QString::fromLatin1(account.body)).captured(1);
    if (user.isEmpty())
        throw kova::Error(QStringLiteral("the account reply holds no user id"));
    const QString password = kova::AccountPassword;

    QString linkSource;
    const std::pair<QString, QString> searches[] = {
        {QStringLiteral("test0"), QStringLiteral("empty")},
        {QStringLiteral("test1"), QStringLiteral("one-row")},
        {QStringLiteral("test3"), QStringLiteral("three-rows")},
        {QStringLiteral("手机"), QStringLiteral("chinese-keyword")},
        {QStringLiteral("test4-brokenpic"), QStringLiteral("broken-picture")},
        {QStringLiteral("test13"), QStringLiteral("thirteen-rows")},
    };
    for (const auto& [word, label] : searches) {
        const Page page = fetchPage(http, requests.listAll(word, user, password));
        writePage(out, QStringLiteral("listall-") + label, page, results);
        if (word == u"test13")
            linkSource = page.document;
    }
    // Favorites of the last search (test13), then the lists with and without drops.
    for (const char* row : {"1", "2", "5"})
        http.get(requests.addFavorite(user, password, QString::fromLatin1(row)));
    writePage(out, QStringLiteral("favorites"), fetchPage(http, requests.listFavorites(user, password)),
              lists);
    writePage(out, QStringLiteral("price-drops-none"),
              fetchPage(http, requests.listPriceDrops(user, password)), lists);
    server.dropPricesNow();
    const Page drops = fetchPage(http, requests.listPriceDrops(user, password));
    writePage(out, QStringLiteral("price-drops"), drops, lists);
    writePage(out, QStringLiteral("favorites-bad-account"),
              fetchPage(http, requests.listFavorites(user, QStringLiteral("wrong"))), lists);
    writePage(out, QStringLiteral("version"), fetchPage(http, requests.versionPage(QStringLiteral("10"))),
              QStringLiteral("version_line"));

    // The loader's own error page reaches every reader too.
    const QByteArray errorPage =
        kova::errorDocument(QStringLiteral("无法连接到服务器，请检查网络连接。")).toUtf8();
    for (const QString& target : {results, lists, QStringLiteral("version_line")})
        out.write(target, QStringLiteral("error-page"), errorPage);

    // Pages the fault switch damages.
    for (const auto& [fault, name] :
         {std::pair{Fault::InvalidGbk, "invalid-gbk"}, std::pair{Fault::Utf8Declared, "utf8-declared"}}) {
        server.setFault(fault);
        writePage(out, QStringLiteral("listall-") + QLatin1String(name),
                  fetchPage(http, requests.listAll(QStringLiteral("test3"), user, password)), results);
        writePage(out, QStringLiteral("favorites-") + QLatin1String(name),
                  fetchPage(http, requests.listFavorites(user, password)), lists);
    }
    server.setFault(Fault::None);

    // Pictures: whole ones, and the cut one of the fault switch.
    const QStringList pictures = pictureAddresses(linkSource);
    if (pictures.size() < 2)
        throw kova::Error(QStringLiteral("the result page names no pictures"));
    out.write(QStringLiteral("jpeg"), QStringLiteral("thumbnail"), http.get(pictures.at(0)).body);
    out.write(QStringLiteral("jpeg"), QStringLiteral("large"), http.get(pictures.at(1)).body);
    server.setFault(Fault::TruncatedJpeg);
    out.write(QStringLiteral("jpeg"), QStringLiteral("truncated"), http.get(pictures.at(2)).body);
    server.setFault(Fault::None);

    // Link cells, for HtmlToText and, unescaped, for the affiliate rewriting.
    const QStringList links = linkCells(linkSource) + linkCells(drops.document);
    for (int i = 0; i < links.size() && i < 8; ++i) {
        out.write(QStringLiteral("html_to_text"), QStringLiteral("link-%1").arg(i), links.at(i).toUtf8());
        const QString plain = kova::HtmlToText(links.at(i));
        out.write(QStringLiteral("affiliate_links"), QStringLiteral("link-%1").arg(i),
                  (plain + QStringLiteral("\nmm_87654321_1_2\n2000999")).toUtf8());
    }

    // Ciphertexts as the settings record holds them; the round trip reads a seed byte
    // and a plain text from the same files.
    int n = 0;
    for (const QString& plain :
         {user, password, QStringLiteral("mm_12345678_0_0"), QStringLiteral("1000123456"),
          QStringLiteral("10"), QStringLiteral("淘宝网")}) {
        out.write(QStringLiteral("decipher"), QStringLiteral("cipher-%1").arg(n),
                  kova::Encipher(plain, kova::StoreKey, 17 * n + 3).toLatin1());
        out.write(QStringLiteral("decipher"), QStringLiteral("plain-%1").arg(n), "\x2A" + plain.toUtf8());
        ++n;
    }
    out.write(QStringLiteral("decipher"), QStringLiteral("default-version"),
              kova::DefaultVersionCipher().toLatin1());

    // Export tables (records split by U+001E, cells by U+001F, after a byte whose bits mark
    // the number columns) and notification bodies, with the texts a hostile page may hold.
    const auto table = [](std::initializer_list<QStringList> records) {
        QStringList lines;
        for (const QStringList& r : records)
            lines << r.join(QChar(0x1F));
        return QByteArray(1, char(0b00011000)) + lines.join(QChar(0x1E)).toUtf8();
    };
    out.write(QStringLiteral("csv"), QStringLiteral("result-grid"),
              table({{QStringLiteral("商品名称"), QStringLiteral("精准"), QStringLiteral("优惠"),
                      QStringLiteral("价格"), QStringLiteral("人气"), QStringLiteral("商家")},
                     {QStringLiteral("小米 14 \"旗舰\", 黑色"), QStringLiteral("精准比价"),
                      QStringLiteral("满 300 减 30"), QStringLiteral("3999.00"), QStringLiteral("1200"),
                      QStringLiteral("京东商城")},
                     {QStringLiteral("=HYPERLINK(\"http://evil.example/\",\"click\")"), QString(),
                      QStringLiteral("=1+1"), QStringLiteral("-5"), QStringLiteral("+2*3"),
                      QStringLiteral("@SUM(A1:A2)")},
                     {QStringLiteral("\t制表"), QStringLiteral("\r回车"), QStringLiteral("\n换行"),
                      QStringLiteral("1e308"), QStringLiteral("abc"), QStringLiteral(" =1")},
                     {QStringLiteral("\u202E反向\u202C"), QStringLiteral("\u2066隔离\u2069"),
                      QStringLiteral("1,299.00"), QStringLiteral("NaN"), QString(), QString()}}));
    out.write(QStringLiteral("csv"), QStringLiteral("favorites-grid"),
              table({{QStringLiteral("商品名称"), QStringLiteral("精准"), QStringLiteral("收藏时间"),
                      QStringLiteral("收藏价格"), QStringLiteral("更新价格"), QStringLiteral("商家")},
                     {QStringLiteral("两行\r\n名称"), QString(), QStringLiteral("2024-01-01 10:00"),
                      QStringLiteral("58.50"), QStringLiteral("-58.50"), QStringLiteral("天猫商城")}}));
    const std::pair<const char*, QString> bodies[] = {
        {"price-drops", QStringLiteral("2 件收藏商品降价\n小米 14 ￥3999 → ￥3799\n<b>粗</b> &amp; "
                                       "<img src=\"/dev/zero\"> ￥10 → ￥9")},
        {"markup",
         QStringLiteral("<a href=\"http://evil.example/\">账户异常! 请立即访问</a>&lt;&#60;&#x3c;&nbsp;")},
        {"bidi", QStringLiteral("\u202A\u202B\u202C\u202D\u202E\u2066\u2067\u2068\u2069 ABC")},
    };
    for (const auto& [name, body] : bodies)
        out.write(QStringLiteral("notification_body"), QLatin1String(name), body.toUtf8());

    server.stop();
    std::printf("kova-fuzz-corpus: %d files in %s\n", out.files(), qPrintable(root));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    kova::HttpClient::globalInit();
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kova-fuzz-corpus <corpus folder>\n", stderr);
        return 2;
    }
    try {
        return run(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kova-fuzz-corpus: %s\n", e.what());
        return 1;
    }
}
