// OpenInBrowser: only web addresses reach the browser, scheme-less ones completed as an
// address bar does; refusals and failures are told to the user. Observed through the
// browser seam and the message hook, never with a real browser.
#include "links/Browser.h"
#include "service/Requests.h"
#include "store/Report.h"
#include "tests/support/TestSeams.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kova;

namespace {

class BrowserTest : public ::testing::Test, protected test::TestSeams {};

} // namespace

TEST_F(BrowserTest, OpensWebAddressesAsGiven)
{
    EXPECT_TRUE(OpenInBrowser(QStringLiteral("http://127.0.0.1:8938/item.htm?id=A1&pid=mm_1_2_3")));
    EXPECT_TRUE(OpenInBrowser(QStringLiteral("HTTPS://Shop.Example.com/a")));
    ASSERT_EQ(opened.size(), 2u); // every call opens again
    EXPECT_EQ(opened[0].toString(), QStringLiteral("http://127.0.0.1:8938/item.htm?id=A1&pid=mm_1_2_3"));
    EXPECT_EQ(opened[1].scheme(), QStringLiteral("https"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(BrowserTest, CompletesAddressesWithoutAScheme)
{
    const std::pair<const char*, const char*> cases[] = {
        {"  http://a.example.com/x  ", "http://a.example.com/x"},
        {"//item.example.com/item.htm?id=7", "http://item.example.com/item.htm?id=7"},
        {"item.example.com/item.htm?id=7", "http://item.example.com/item.htm?id=7"},
        {"www.example.com", "http://www.example.com"},
        {"localhost:8938/list.aspx?k=1", "http://localhost:8938/list.aspx?k=1"},
        {"www.example.com:81/a", "http://www.example.com:81/a"},
        {"\t127.0.0.1:8936/contact.html\n", "http://127.0.0.1:8936/contact.html"},
    };
    for (const auto& [given, expected] : cases) {
        opened.clear();
        EXPECT_TRUE(OpenInBrowser(QString::fromUtf8(given))) << given;
        ASSERT_EQ(opened.size(), 1u) << given;
        EXPECT_EQ(opened[0].toString(), QString::fromUtf8(expected)) << given;
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(BrowserTest, RefusesEveryOtherScheme)
{
    const char* refused[] = {
        "file:///etc/passwd",
        "FILE:///C:/Windows/system32/calc.exe",
        "javascript:alert(document.cookie)",
        "  JavaScript:void(0)",
        "mailto:someone@example.com",
        "tencent://message/?uin=12345",
        "data:text/html,<script>alert(1)</script>",
        "ftp://files.example.com/a",
        "",
        "   ",
        "http://",
    };
    for (const char* address : refused) {
        messages.clear();
        EXPECT_FALSE(OpenInBrowser(QString::fromUtf8(address))) << address;
        ASSERT_EQ(messages.size(), 1u) << address;
        EXPECT_EQ(messages[0].kind, Message::Kind::Info);
        EXPECT_EQ(messages[0].caption, QStringLiteral("提示"));
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(browserAddress(QStringLiteral("javascript:alert(1)")).accepted());
    EXPECT_TRUE(browserAddress(QStringLiteral("javascript:alert(1)")).url.isEmpty());
}

TEST_F(BrowserTest, QueryBytesAndChineseTextSurvive)
{
    // The service's addresses carry GBK percent-escapes; a product name may be raw text.
    ASSERT_TRUE(OpenInBrowser(QStringLiteral("http://127.0.0.1:8936/list.aspx?k=%C5%B5%BB%F9%D1%C7")));
    EXPECT_TRUE(opened.back().toString(QUrl::FullyEncoded).endsWith(QLatin1String("k=%C5%B5%BB%F9%D1%C7")));
    ASSERT_TRUE(OpenInBrowser(QStringLiteral("http://127.0.0.1:8936/list.aspx?k=诺基亚 N9")));
    EXPECT_EQ(opened.back().query(QUrl::FullyDecoded), QStringLiteral("k=诺基亚 N9"));
}

TEST_F(BrowserTest, DesktopWithoutABrowserIsReported)
{
    browserOpens = false;
    EXPECT_FALSE(OpenInBrowser(QStringLiteral("http://127.0.0.1:8936/")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Message::Kind::Error);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Kova比价软件"));
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("http://127.0.0.1:8936/")));
}

TEST_F(BrowserTest, UnopenedAddressIsShownAsSentSoItCanBeCopied)
{
    browserOpens = false;
    const QString prefix = QStringLiteral("无法启动网页浏览器打开地址：");

    // The precise comparison page of a Chinese name, as the grids open it.
    const Requests requests(QStringLiteral("http://127.0.0.1:8936"), QStringLiteral("http://127.0.0.1:8937"),
                            QStringLiteral("http://127.0.0.1:8939"));
    const QString comparison = requests.preciseComparison(QStringLiteral("诺基亚 N9"));
    EXPECT_FALSE(OpenInBrowser(comparison));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded), comparison);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, prefix + comparison);

    // GBK escapes that partly read as UTF-8 (%C5%B5 would turn into "ŵ") and a blank stay
    // escaped, byte for byte.
    const QString gbk = QStringLiteral("http://127.0.0.1:8936/list.aspx?k=%C5%B5%BB%F9%D1%C7%20N9");
    messages.clear();
    EXPECT_FALSE(OpenInBrowser(gbk));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, prefix + gbk);

    // Raw text in an address is shown in the escaped form it was handed over in.
    messages.clear();
    opened.clear();
    EXPECT_FALSE(OpenInBrowser(QStringLiteral("http://127.0.0.1:8936/list.aspx?k=诺基亚 N9")));
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              prefix + QStringLiteral("http://127.0.0.1:8936/list.aspx?k=%E8%AF%BA%E5%9F%BA%E4%BA%9A%20N9"));
    EXPECT_EQ(messages[0].text, prefix + opened[0].toString(QUrl::FullyEncoded));
}
