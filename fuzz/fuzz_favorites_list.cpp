// The favorites list reader over an arbitrary page text, into a scratch kvdb.dat.
//
// Input: the page text (UTF-8). The input's size picks the list (favorites or price drops),
// whether the account is known and whether an account reply is expected. Picture downloads
// go through a cancelled HTTP client, so each fails at once without the network.

#include "fuzz/FuzzSupport.h"
#include "fuzz/ScratchDatabase.h"

#include "favorites/FavoritesListReader.h"
#include "service/HttpClient.h"
#include "service/PageText.h"
#include "store/Dataset.h"
#include "store/SettingsRecord.h"

#include <memory>

namespace {

struct Scratch {
    kova::fuzz::ScratchDatabase db;
    kova::Dataset favorites{db.connection()};
    kova::Dataset settingsQuery{db.connection()};
};

std::unique_ptr<Scratch> scratch;

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
    s.favorites.close();
    s.settingsQuery.close();
    s.db.clear();

    const auto list = (size & 1) != 0 ? kova::FavoriteList::PriceDrops : kova::FavoriteList::Favorites;
    kova::FavoritesListReader::Context state;
    state.userId = (size & 2) != 0 ? QString() : QStringLiteral("k1234567");
    state.replyExpected = (size & 4) != 0;
    state.taobaoPid = QStringLiteral("mm_1_2_3");
    state.jdUnionId = QStringLiteral("42");
    state.tempDir = s.db.tempDir();

    s.favorites.setSql(QStringLiteral("select * from scnr order by scsj"));
    s.favorites.open();
    kova::SettingsRecord settings(s.settingsQuery);
    settings.openOrCreate();

    kova::PageText page(kova::fuzz::text(data, size));
    page.setFailedLoad((size & 8) != 0);
    kova::FavoritesListReader reader({s.favorites, settings}, state, list, [](int bar, const QString&) {
        if (bar < 0 || bar > 100)
            kova::fuzz::fail("progress out of range", QString::number(bar));
    });
    const kova::FavoritesListReader::Outcome outcome = reader.read(page);

    if (outcome.stored != s.favorites.recordCount() || outcome.stored != s.db.count(QStringLiteral("scnr")))
        kova::fuzz::fail("row count", QString::number(outcome.stored));
    if (outcome.stored > 0 && !outcome.pageValid)
        kova::fuzz::fail("rows stored from a page that is no list");
    if (outcome.pictures.size() > static_cast<size_t>(outcome.stored))
        kova::fuzz::fail("pictures named", QString::number(outcome.pictures.size()));
    for (s.favorites.first(); !s.favorites.eof(); s.favorites.next()) {
        if (s.favorites.fieldText(QStringLiteral("bz2")) != QStringLiteral("删除收藏"))
            kova::fuzz::fail("delete caption");
    }
    s.favorites.sort(QStringLiteral("scjg"));
    s.favorites.sort(QStringLiteral("gxjg DESC"));

    if (outcome.account) {
        settings.openOrCreate();
        const auto pair = settings.readPair(QStringLiteral("u"), QStringLiteral("p"));
        if (pair.state != kova::SettingsRecord::Pair::State::Ok || pair.first != outcome.account->userId)
            kova::fuzz::fail("stored account", outcome.account->userId);
    }
    return 0;
}
