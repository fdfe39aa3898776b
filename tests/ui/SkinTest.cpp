// The skin file's style sheet: one Qt takes is kept, one it rejects is reported the way a
// skin file that cannot be read is, and the design look stays.
#include "ui/Skin.h"
#include "store/Error.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace kova;

namespace {

TEST(Skin, ASheetQtRejectsIsReportedAndNotKept)
{
    const QString path = QStringLiteral("/opt/kova/kova.sui");
    ApplySkinStyleSheet(path, QStringLiteral("QWidget { background: rgb(241, 241, 241); }"));
    EXPECT_EQ(qApp->styleSheet(), QStringLiteral("QWidget { background: rgb(241, 241, 241); }"));
    try {
        ApplySkinStyleSheet(path, QStringLiteral("QWidget { background: red; } }}} QLabel {{ color"));
        FAIL() << "a broken sheet was taken";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("无法读取皮肤文件 /opt/kova/kova.sui：样式表有错误，无法使用"));
    }
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

} // namespace
