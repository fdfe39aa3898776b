// The result page reader over an arbitrary page text, into a scratch kvdb.dat.
//
// Input: the page text (UTF-8) as the page loader hands it to the memo. The input's size
// picks the reader's situation: whether an account reply is expected and whether the
// keyword already has its pictures (when not, the reader tries its thumbnail downloads;
// the HTTP client is cancelled, so every download fails at once without the network).

#include "fuzz/FuzzSupport.h"
#include "fuzz/ScratchDatabase.h"

#include "results/OfferRating.h"
#include "search/ResultPageReader.h"
#include "service/HttpClient.h"
#include "service/PageText.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/Error.h"
#include "store/SettingsRecord.h"

#include <memory>

namespace {

struct Scratch {
    kova::fuzz::ScratchDatabase db;
    kova::Dataset words{db.connection()};
    kova::Dataset results{db.connection()};
    kova::Dataset pictures{db.connection()};
    kova::Dataset settingsQuery{db.connection()};
};

std::unique_ptr<Scratch> scratch;

const QString Keyword = QStringLiteral("手机 test");

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    kova::HttpClient::globalInit();
    scratch = std::make_unique<Scratch>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Scratch& s = *scratch;
    s.words.close();
    s.results.close();
    s.pictures.close();
    s.settingsQuery.close();
    s.db.clear();

    kova::ResultPageReader::Search state;
    state.accountReplyExpected = (size & 1) != 0;
    state.word = (size & 4) != 0 ? QString() : Keyword;
    state.taobaoPid = QStringLiteral("mm_1_2_3");
    state.jdUnionId = (size & 8) != 0 ? QString() : QStringLiteral("42");
    state.tempDir = s.db.tempDir();
    state.wordHasPictures = (size & 2) != 0;

    s.words.setSql(QStringLiteral("select * from word"));
    s.words.open();
    s.results.setSql(QStringLiteral("select * from cxnr order by jg"));
    s.results.open();
    s.pictures.setSql(QStringLiteral("select * from tpb where word='x'"));
    s.pictures.open();
    kova::SettingsRecord settings(s.settingsQuery);
    settings.openOrCreate();

    kova::PageText page(kova::fuzz::text(data, size));
    page.setFailedLoad((size & 16) != 0);

    kova::ResultPageReader reader(
        {s.words, s.results, s.pictures, settings}, state,
        [](qint64 count, const QString& merchant, const QString& name) {
            return kova::OfferRatings{kova::AuthenticityLabel(count, merchant, name),
                                      kova::StarRating(count, merchant, name)};
        },
        [](int bar, const QString&) {
            if (bar < 0 || bar > 100)
                kova::fuzz::fail("progress out of range", QString::number(bar));
        });
    const kova::ResultPageReader::Outcome outcome = reader.read(page);

    // What the reader says it stored is what the database and the grid's query hold.
    if (outcome.stored != s.results.recordCount() || outcome.stored != s.db.count(QStringLiteral("cxnr")))
        kova::fuzz::fail("row count", QString::number(outcome.stored));
    if (outcome.firstThumbnails.size() > 12 || (state.wordHasPictures && !outcome.firstThumbnails.empty()))
        kova::fuzz::fail("thumbnails named", QString::number(outcome.firstThumbnails.size()));
    for (s.results.first(); !s.results.eof(); s.results.next()) {
        const QString check = s.results.fieldText(QStringLiteral("check"));
        if (check != QStringLiteral("已收藏") && check != QStringLiteral("点击收藏"))
            kova::fuzz::fail("favorite state", check);
    }
    // A keyword searched before (none of whose products is recorded here) records each
    // product once.
    kova::Dataset products{s.db.connection()};
    products.setSql(QStringLiteral("select distinct coalesce(cph, '') from cxnr"));
    products.open();
    const int expectedPictures = state.wordHasPictures ? products.recordCount() : outcome.stored;
    if (s.db.count(QStringLiteral("tpb")) != expectedPictures)
        kova::fuzz::fail("picture records", QString::number(s.db.count(QStringLiteral("tpb"))));

    // The grid's sorts over whatever texts arrived in jg and rc.
    for (const QString& order : {QStringLiteral("jg"), QStringLiteral("rc DESC"), QString()}) {
        s.results.sort(order);
        QByteArray previous;
        bool first = true;
        for (int row = 0; row < s.results.recordCount(); ++row) {
            if (order.isEmpty())
                break;
            const QVariant cell = s.results.fieldAt(row, s.results.fieldNames().indexOf(order.left(2)));
            if (cell.isNull())
                continue; // empty cells are never written; they sort apart from every text
            const QByteArray value = cell.toString().toUtf8();
            const int c = kova::compareNumericText(previous.constData(), static_cast<int>(previous.size()),
                                                   value.constData(), static_cast<int>(value.size()));
            if (!first && (order.endsWith(QStringLiteral("DESC")) ? c < 0 : c > 0))
                kova::fuzz::fail("sort order", order);
            previous = value;
            first = false;
        }
    }

    // A stored account reads back as the account the program now uses.
    if (outcome.account) {
        settings.openOrCreate();
        const auto pair = settings.readPair(QStringLiteral("u"), QStringLiteral("p"));
        if (pair.state != kova::SettingsRecord::Pair::State::Ok || pair.first != outcome.account->userId ||
            pair.second != outcome.account->password)
            kova::fuzz::fail("stored account", outcome.account->userId);
    }
    return 0;
}
