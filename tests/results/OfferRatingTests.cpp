// The star rating and authenticity label, row by row of their decision tables.
#include "results/OfferRating.h"

#include <gtest/gtest.h>

using namespace kova;

namespace {

const QString Taobao = QStringLiteral("淘宝网");
const QString Tmall = QStringLiteral("天猫商城");
const QString Jd = QStringLiteral("京东商城");
const QString Plain = QStringLiteral("韩版连衣裙");
const QString Genuine = QStringLiteral("正品 韩版连衣裙");

struct Case {
    qint64 count;
    QString merchant;
    QString name;
    QString stars;
    QString label;
};

class Ratings : public ::testing::TestWithParam<Case> {};

TEST_P(Ratings, FollowTheTables)
{
    const Case& c = GetParam();
    EXPECT_EQ(StarRating(c.count, c.merchant, c.name), c.stars)
        << c.count << " " << c.merchant.toStdString() << " " << c.name.toStdString();
    EXPECT_EQ(AuthenticityLabel(c.count, c.merchant, c.name), c.label)
        << c.count << " " << c.merchant.toStdString() << " " << c.name.toStdString();
}

const QString S2 = QStringLiteral("★★");
const QString S3 = QStringLiteral("★★★");
const QString S4 = QStringLiteral("★★★★");
const QString S5 = QStringLiteral("★★★★★");
const QString Baozhang = QStringLiteral("保障");
const QString Kexin = QStringLiteral("可信");

INSTANTIATE_TEST_SUITE_P(
    Tables, Ratings,
    ::testing::Values(
        // Merchants other than Taobao: boundaries 10/11 and 100/101, with and without 正品.
        Case{101, Jd, Plain, S5, Baozhang}, Case{100, Jd, Plain, S4, Baozhang},
        Case{11, Jd, Genuine, S4, Baozhang}, Case{10, Jd, Genuine, S3, Baozhang},
        Case{0, Tmall, Plain, S3, Baozhang}, Case{-5, Tmall, Plain, S3, Baozhang},
        Case{50000, Tmall, Genuine, S5, Baozhang},
        // Taobao with 正品.
        Case{150, Taobao, Genuine, S5, QString()}, Case{101, Taobao, Genuine, S5, QString()},
        Case{100, Taobao, Genuine, S4, Kexin}, Case{50, Taobao, Genuine, S4, Kexin},
        Case{11, Taobao, Genuine, S4, Kexin}, Case{10, Taobao, Genuine, S3, QString()},
        Case{0, Taobao, Genuine, S3, QString()},
        // Taobao without 正品 needs ten times the count.
        Case{1001, Taobao, Plain, S5, Kexin}, Case{1000, Taobao, Plain, S4, Kexin},
        Case{101, Taobao, Plain, S4, Kexin}, Case{100, Taobao, Plain, S3, QString()},
        Case{11, Taobao, Plain, S3, QString()}, Case{10, Taobao, Plain, S2, QString()},
        Case{0, Taobao, Plain, S2, QString()},
        // A merchant name with blanks around it is another merchant.
        Case{0, QStringLiteral(" 淘宝网"), Plain, S3, Baozhang},
        Case{5, QStringLiteral("淘宝网 "), Plain, S3, Baozhang},
        // "正品" is searched exactly, anywhere in the name.
        Case{50, Taobao, QStringLiteral("连衣裙正品保证"), S4, Kexin}));

} // namespace
