// The version page reader over an arbitrary page text: the line parser, and the storing of
// the ids into the settings record of a scratch kvdb.dat.

#include "fuzz/FuzzSupport.h"
#include "fuzz/ScratchDatabase.h"

#include "links/VersionPage.h"
#include "service/PageText.h"
#include "store/Cipher.h"
#include "store/Dataset.h"
#include "store/SettingsRecord.h"

#include <memory>

namespace {

struct Scratch {
    kova::fuzz::ScratchDatabase db;
    kova::Dataset settingsQuery{db.connection()};
};

std::unique_ptr<Scratch> scratch;

bool trimmed(const QString& text)
{
    return kova::Trim(text) == text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    scratch = std::make_unique<Scratch>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const kova::PageText page(kova::fuzz::text(data, size));
    std::optional<kova::AffiliateIds> firstIds;
    for (int i = 0; i < page.count(); ++i) {
        const auto ids = kova::ParseVersionLine(page.line(i));
        if (!ids)
            continue;
        if (ids->taobaoPid.isEmpty() || ids->jdUnionId.isEmpty() || !trimmed(ids->taobaoPid) ||
            !trimmed(ids->jdUnionId))
            kova::fuzz::fail("ids empty or untrimmed", page.line(i));
        if (!firstIds)
            firstIds = ids;
    }

    Scratch& s = *scratch;
    s.settingsQuery.close();
    s.db.clear();
    kova::SettingsRecord settings(s.settingsQuery);
    settings.openOrCreate();
    const auto stored = kova::ReadVersionPage(page, settings);
    // A fresh record takes the ids of the first line that gives them.
    if (stored.has_value() != firstIds.has_value())
        kova::fuzz::fail("ids read but not stored, or stored without a line");
    if (stored) {
        settings.openOrCreate();
        const auto pair = settings.readPair(QStringLiteral("a"), QStringLiteral("b"));
        if (pair.state != kova::SettingsRecord::Pair::State::Ok || pair.first != stored->taobaoPid ||
            pair.second != stored->jdUnionId)
            kova::fuzz::fail("stored ids read back differently", stored->taobaoPid);
    }
    return 0;
}
