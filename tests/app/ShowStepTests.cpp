// The main window's start: creation, show step and settings record, against a real
// kvdb.dat in a temporary working folder.
#include "app/KovaMain.h"
#include "app/Uzjm.h"
#include "service/Requests.h"
#include "store/Cipher.h"
#include "store/Connection.h"
#include "store/Dataset.h"
#include "store/SettingsRecord.h"
#include "tests/support/TestSeams.h"
#include "tests/support/TestSupport.h"
#include "ui/DBGridEh.h"
#include "ui/Messages.h"
#include "ui/SkinFrame.h"
#include "ui/StatusBar.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

using namespace kova;

namespace {

// The folder and the seams are bases, so they are set up before the window and taken down
// after it. Nothing listens on the seams' closed port: every request fails fast and
// completes with the loader's error page.
class ShowStep : public ::testing::Test, protected test::TestFolder, protected test::TestSeams {
protected:
    void SetUp() override
    {
        // The skin is read beside the program; where it is missing, that report is not
        // what these tests look at.
        ignoreMessage = [](const Message& m) { return m.text.contains(QStringLiteral("kova.sui")); };
    }
    void TearDown() override { window.reset(); }

    Tfrmkova& start()
    {
        window = std::make_unique<Tfrmkova>();
        window->show();
        return *window;
    }

    void storeSettings(const QString& ver, const QString& u, const QString& p, const QString& a,
                       const QString& b)
    {
        db.exec(QStringLiteral("insert into xxb (ver, u, p, a, b) values ('%1', '%2', '%3', '%4', '%5')")
                    .arg(ver, u, p, a, b));
    }

    std::unique_ptr<Tfrmkova> window;
};

QString enc(const QString& plain)
{
    return Encipher(plain, StoreKey);
}

TEST_F(ShowStep, KeepsWordPicturesAndFavoritesButEmptiesResults)
{
    db.exec(QStringLiteral("insert into cxnr (bh, cph, jg) values (1, 'a1', '58.50'), (2, 'a2', '9')"));
    db.exec(QStringLiteral("insert into word (word, \"count\") values ('BB霜', 3)"));
    db.exec(QStringLiteral("insert into tpb (word, tpid, bh) values ('BB霜', 'a1', '1')"));
    db.exec(QStringLiteral("insert into scnr (ufid, cph) values ('7', 'a1')"));
    Tfrmkova& w = start();

    EXPECT_EQ(db.count(QStringLiteral("cxnr")), 0);
    EXPECT_EQ(db.count(QStringLiteral("word")), 1);
    EXPECT_EQ(db.count(QStringLiteral("tpb")), 1);
    EXPECT_EQ(db.count(QStringLiteral("scnr")), 1);
    EXPECT_EQ(w.ADOQuery2.recordCount(), 0);
    EXPECT_EQ(w.qry1.recordCount(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ShowStep, SetsStateViewsAndTexts)
{
    Tfrmkova& w = start();
    const ProgramState& s = w.state();
    EXPECT_EQ(s.ListMode, ListMode::Results);
    EXPECT_TRUE(s.AccountReplyExpected);
    EXPECT_TRUE(s.TempDir.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(s.TempDir + QStringLiteral("kvpic")).isDir());
    EXPECT_TRUE(s.AppDir.endsWith(QLatin1Char('/')));
    EXPECT_EQ(w.size(), QSize(1020, 700));
    EXPECT_TRUE(w.ui.pan03->isVisible());
    EXPECT_FALSE(w.ui.pan01->isVisible());
    EXPECT_FALSE(w.ui.pan02->isVisible());
    EXPECT_EQ(w.ui.StatusBar1->panelText(0), QStringLiteral("货比三家，比价帮助您更省钱、省事！"));
    for (DBGridEh* grid : {w.ui.DBGridEh1, w.ui.DBGridEh2}) {
        EXPECT_EQ(grid->fixedColor(), QColor(166, 202, 240));
        EXPECT_EQ(grid->titleFontColor(), QColor(255, 0, 255));
    }
}

TEST_F(ShowStep, EmptySettingsGetVersionOnlyAndBothFirstRunRequests)
{
    Tfrmkova& w = start();
    ASSERT_EQ(db.count(QStringLiteral("xxb")), 1);
    const QString ver = db.scalar(QStringLiteral("select ver from xxb"));
    EXPECT_EQ(ver.size(), 8);
    EXPECT_EQ(Trim(Decipher(ver, StoreKey)), QStringLiteral("10"));
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(u,'') || coalesce(p,'') || coalesce(a,'') || "
                                       "coalesce(b,'') from xxb")),
              QString());
    EXPECT_EQ(w.state().VersionCode, QStringLiteral("10"));
    EXPECT_TRUE(w.wbwebb.lastUrl().endsWith(QStringLiteral("/RandomUser.aspx")));
    const auto aux = w.findChildren<QWidget*>(QStringLiteral("frmsc"));
    ASSERT_EQ(aux.size(), 1);
    EXPECT_EQ(w.ui.suiForm1->caption(), QStringLiteral(" Kova比价软件 V1.0 （Tavi版）"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Kova比价软件 V1.0 （Tavi版）"));
}

TEST_F(ShowStep, StoredAccountAndIdsAreDecipheredAndNothingIsRequested)
{
    storeSettings(enc(QStringLiteral("23")), enc(QStringLiteral("  k1234567 ")), enc(QStringLiteral("mivra")),
                  enc(QStringLiteral("mm_1_2_3")), enc(QStringLiteral("1000123456")));
    Tfrmkova& w = start();
    EXPECT_EQ(w.state().UserId, QStringLiteral("k1234567"));
    EXPECT_EQ(w.state().UserPassword, QStringLiteral("mivra"));
    EXPECT_EQ(w.state().TaobaoPid, QStringLiteral("mm_1_2_3"));
    EXPECT_EQ(w.state().JdUnionId, QStringLiteral("1000123456"));
    EXPECT_TRUE(w.wbwebb.lastUrl().isEmpty());
    EXPECT_TRUE(w.findChildren<QWidget*>(QStringLiteral("frmsc")).isEmpty());
    EXPECT_EQ(w.ui.suiForm1->caption(), QStringLiteral(" Kova比价软件 V2.3 （Tavi版）"));
}

TEST_F(ShowStep, CaptionKeepsDesignTextForVersionNotTwoCharacters)
{
    storeSettings(enc(QStringLiteral("103")), QString(), QString(), QString(), QString());
    Tfrmkova& w = start();
    EXPECT_EQ(w.state().VersionCode, QStringLiteral("103"));
    EXPECT_EQ(w.ui.suiForm1->caption(), QStringLiteral(" Kova比价软件"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Kova比价软件"));
}

TEST_F(ShowStep, UserWithoutPasswordCountsAsNoAccount)
{
    storeSettings(enc(QStringLiteral("10")), enc(QStringLiteral("k1")), QString(),
                  enc(QStringLiteral("mm_1")), enc(QStringLiteral("99")));
    Tfrmkova& w = start();
    EXPECT_TRUE(w.state().UserId.isEmpty());
    EXPECT_TRUE(w.wbwebb.lastUrl().endsWith(QStringLiteral("/RandomUser.aspx")));
    // The ids are complete: no version page.
    EXPECT_TRUE(w.findChildren<QWidget*>(QStringLiteral("frmsc")).isEmpty());
}

TEST_F(ShowStep, DamagedAccountIsClearedReportedOnceAndRequestedAgain)
{
    storeSettings(enc(QStringLiteral("10")), QStringLiteral("ZZ-not-hex"), enc(QStringLiteral("mivra")),
                  enc(QStringLiteral("mm_1")), enc(QStringLiteral("99")));
    {
        Tfrmkova& w = start();
        EXPECT_TRUE(w.wbwebb.lastUrl().endsWith(QStringLiteral("/RandomUser.aspx")));
        EXPECT_TRUE(w.state().UserId.isEmpty());
        // The rest of the show step still ran.
        EXPECT_EQ(w.state().TaobaoPid, QStringLiteral("mm_1"));
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_EQ(messages[0].caption, ApplicationTitle);
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(u,'') || coalesce(p,'') from xxb")), QString());

    // The next start finds the pair empty and says nothing more.
    window.reset();
    messages.clear();
    start();
    EXPECT_TRUE(messages.empty());
}

TEST_F(ShowStep, IdsDecipheringToEmptyTextAreDamage)
{
    // A seed pair alone is the ciphertext of the empty text.
    storeSettings(enc(QStringLiteral("10")), enc(QStringLiteral("k1")), enc(QStringLiteral("mivra")),
                  QStringLiteral("3F"), enc(QStringLiteral("99")));
    Tfrmkova& w = start();
    EXPECT_EQ(w.state().UserId, QStringLiteral("k1"));
    EXPECT_TRUE(w.state().TaobaoPid.isEmpty());
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("frmsc")).size(), 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(db.scalar(QStringLiteral("select coalesce(a,'') || coalesce(b,'') from xxb")), QString());
}

TEST_F(ShowStep, DamagedVersionLeavesTenAndStartGoesOn)
{
    storeSettings(QStringLiteral("nonsense"), enc(QStringLiteral("k1")), enc(QStringLiteral("mivra")),
                  enc(QStringLiteral("mm_1")), enc(QStringLiteral("99")));
    Tfrmkova& w = start();
    EXPECT_EQ(w.state().VersionCode, QStringLiteral("10"));
    EXPECT_EQ(w.ui.suiForm1->caption(), QStringLiteral(" Kova比价软件 V1.0 （Tavi版）"));
    EXPECT_EQ(w.state().UserId, QStringLiteral("k1"));
}

TEST_F(ShowStep, MissingTableEndsTheShowStepWithTheDatabaseMessage)
{
    db.exec(QStringLiteral("drop table xxb"));
    Tfrmkova& w = start();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("xxb"))) << messages[0].text.toStdString();
    EXPECT_TRUE(w.isVisible());
    // Steps after the failure did not run.
    EXPECT_EQ(w.ui.suiForm1->caption(), QStringLiteral(" Kova比价软件"));
    EXPECT_TRUE(w.wbwebb.lastUrl().isEmpty());
}

// A picture cache that cannot be had costs the pictures only: the start's other steps run,
// and the reason is said once, not again at every search.
TEST_F(ShowStep, CacheFolderThatCannotBeCreatedCostsOnlyThePictures)
{
    for (const bool missingTemp : {false, true}) {
        SCOPED_TRACE(missingTemp ? "TMPDIR does not exist" : "a file where the folder should be");
        messages.clear();
        QFile blocker(db.tempDir() + QStringLiteral("kvpic"));
        std::unique_ptr<test::EnvironmentVariable> tmpdir;
        if (missingTemp) {
            tmpdir = std::make_unique<test::EnvironmentVariable>(
                "TMPDIR", (db.folder() + QStringLiteral("/no-such-folder")).toUtf8());
        } else {
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            blocker.close();
        }
        Tfrmkova& w = start();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages.front().text.contains(QStringLiteral("图片缓存")))
            << messages.front().text.toStdString();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.ui.suiForm1->caption(), QStringLiteral(" Kova比价软件 V1.0 （Tavi版）"));
        EXPECT_TRUE(w.wbwebb.lastUrl().endsWith(QStringLiteral("/RandomUser.aspx")));
        EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("frmsc")).size(), 1u);

        // Two searches end (every request fails here): no second word about the cache.
        for (int i = 0; i < 2; ++i) {
            w.ui.Edt_word->setText(QStringLiteral("手机"));
            w.suiButton1Click();
            ASSERT_TRUE(test::waitUntil(
                [&] { return !w.wbwebb.isLoading() && !w.ui.suiImagePanel1->isVisible(); }, 10000));
        }
        int cacheMessages = 0;
        for (const Message& m : messages)
            cacheMessages += m.text.contains(QStringLiteral("图片缓存")) ? 1 : 0;
        EXPECT_EQ(cacheMessages, 1);
        window.reset();
        blocker.remove();
    }
}

TEST_F(ShowStep, CloseButtonClosesLikeTheCloseBox)
{
    Tfrmkova& w = start();
    w.ui.btn10->click();
    EXPECT_FALSE(w.isVisible());
}

class ProgramEntry : public ::testing::Test, protected test::TestSeams {};

TEST_F(ProgramEntry, MissingDatabaseEndsWithStatusAndMessageAndCreatesNoFile)
{
    QTemporaryDir empty;
    test::WorkingFolder cwd(empty.path());
    EXPECT_EQ(KovaMain(false), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_FALSE(messages[0].text.isEmpty());
    EXPECT_TRUE(QDir(empty.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(ProgramEntry, SettingsRecordWritesAPairOnlyWhileIncomplete)
{
    test::TempDatabase db;
    Connection c(db.path());
    c.open();
    Dataset q(c);
    SettingsRecord settings(q);
    settings.openOrCreate();
    auto written = settings.writePairIfMissing(QStringLiteral("u"), QStringLiteral("k7"), QStringLiteral("p"),
                                               QStringLiteral("mivra"));
    EXPECT_EQ(written.state, SettingsRecord::Pair::State::Ok);
    EXPECT_EQ(written.first, QStringLiteral("k7"));
    const QString stored = db.scalar(QStringLiteral("select u from xxb"));
    auto again = settings.writePairIfMissing(QStringLiteral("u"), QStringLiteral("k8"), QStringLiteral("p"),
                                             QStringLiteral("x"));
    EXPECT_EQ(again.state, SettingsRecord::Pair::State::Missing);
    EXPECT_EQ(db.scalar(QStringLiteral("select u from xxb")), stored);
    EXPECT_EQ(db.count(QStringLiteral("xxb")), 1);
}

} // namespace
