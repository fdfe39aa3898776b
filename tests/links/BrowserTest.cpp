// OpenInBrowser: only web addresses reach the browser, scheme-less ones completed as an
// address bar does; refusals and failures are told to the user. Observed through the
// browser seam and the message hook, never with a real browser.
#include "links/Browser.h"
#include "tests/support/TestSeams.h"
#include "ui/Messages.h"

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
