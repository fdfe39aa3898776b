// Qt's own texts in Chinese: the standard buttons of message boxes and dialogs, from Qt's
// catalogue loaded at start, and a silent fallback to Qt's English texts without it.
#include "app/KovaMain.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace kova;

namespace {

qsizetype translatorCount()
{
    return qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly).size();
}

// A button's words without its keyboard mnemonic: "是(&Y)" reads "是", "&Yes" "Yes".
QString shownWords(QString text)
{
    static const QRegularExpression chineseMnemonic(QStringLiteral("\\(&.\\)$"));
    return text.remove(chineseMnemonic).remove(QLatin1Char('&'));
}

QString buttonText(const QMessageBox& box, QMessageBox::StandardButton which)
{
    const QAbstractButton* button = box.button(which);
    return button != nullptr ? shownWords(button->text()) : QStringLiteral("<no button>");
}

// Removes what a test installed, so that the next one starts from Qt's English texts.
class Translations : public ::testing::Test {
protected:
    void SetUp() override { before = qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly); }
    void TearDown() override
    {
        for (QTranslator* t : qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly))
            if (!before.contains(t)) {
                QCoreApplication::removeTranslator(t);
                delete t;
            }
    }
    QList<QTranslator*> before;
};

} // namespace

TEST_F(Translations, StandardButtonsSpeakChinese)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("qtbase_zh_CN.qm"))))
        GTEST_SKIP() << "Qt's Chinese catalogue qtbase_zh_CN.qm is not installed in " << folder.toStdString()
                     << " (Debian package qt6-translations-l10n)";

    ASSERT_TRUE(installChineseTranslations(*qApp));
    EXPECT_EQ(translatorCount(), before.size() + 1); // owned by the application

    QMessageBox question(QMessageBox::Question, QStringLiteral("提示"),
                         QStringLiteral("确定删除当前选择的收藏商品吗？ "),
                         QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(buttonText(question, QMessageBox::Ok), QStringLiteral("确定"));
    EXPECT_EQ(buttonText(question, QMessageBox::Cancel), QStringLiteral("取消"));

    QMessageBox yesNo(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("?"),
                      QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(buttonText(yesNo, QMessageBox::Yes), QStringLiteral("是"));
    EXPECT_EQ(buttonText(yesNo, QMessageBox::No), QStringLiteral("否"));

    QDialogButtonBox dialogButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(shownWords(dialogButtons.button(QDialogButtonBox::Ok)->text()), QStringLiteral("确定"));
    EXPECT_EQ(shownWords(dialogButtons.button(QDialogButtonBox::Cancel)->text()), QStringLiteral("取消"));
}

TEST_F(Translations, MissingOrBrokenCatalogueKeepsQtsTextsSilently)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_FALSE(installChineseTranslations(*qApp, empty.path()));
    EXPECT_FALSE(installChineseTranslations(*qApp, empty.filePath(QStringLiteral("no-such-folder"))));

    QFile broken(empty.filePath(QStringLiteral("qtbase_zh_CN.qm")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a catalogue");
    broken.close();
    EXPECT_FALSE(installChineseTranslations(*qApp, empty.path()));

    // Nothing left behind, and the buttons keep Qt's own texts.
    EXPECT_EQ(translatorCount(), before.size());
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(buttonText(box, QMessageBox::Ok), QStringLiteral("OK"));
    EXPECT_EQ(buttonText(box, QMessageBox::Cancel), QStringLiteral("Cancel"));
    QMessageBox yesNo(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("?"),
                      QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(buttonText(yesNo, QMessageBox::Yes), QStringLiteral("Yes"));
}
