// Test entry: a QApplication on the offscreen platform, so widgets and fonts work
// headless, also when the binary is run by gtest_discover_tests without the tests'
// environment.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The page loaders use the desktop's proxy; the tests talk to loopback servers only, so
    // a proxy of the machine running them (inherited by the programs they start) stays out.
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(name);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
