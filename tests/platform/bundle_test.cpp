// The bundle's settings and string tables as compiled into the program.
#include <gtest/gtest.h>

#include <QLocale>

#include "platform/linux/qt_bundle.h"

namespace daylume::test {
namespace {

TEST(QtBundleTest, OnlyStringValuesCount) {
    const QtBundle bundle(R"({"CFBundleShortVersionString": 2.3, "CFBundleVersion": ["17"],
                              "Other": "x"})");
    EXPECT_EQ(bundle.stringValue("CFBundleShortVersionString"), std::nullopt);
    EXPECT_EQ(bundle.stringValue("CFBundleVersion"), std::nullopt);
    EXPECT_EQ(bundle.stringValue("Missing"), std::nullopt);
    EXPECT_EQ(bundle.stringValue("Other"), "x");

    const QtBundle builtIn(QtBundle::builtInSettings());
    EXPECT_EQ(builtIn.stringValue("CFBundleShortVersionString"), DAYLUME_VERSION);
    EXPECT_TRUE(builtIn.stringValue("CFBundleVersion").has_value());
}

// The user's language where there is a table for it, else English; a missing key shows itself.
TEST(QtBundleTest, TheUsersLanguageIsUsedOrElseEnglish) {
    const QtBundle bundle(QByteArray("{}"));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QtBundle::loadTranslations();
    EXPECT_EQ(bundle.localizedString("menu_quit"), "退出 Daylume");
    EXPECT_EQ(bundle.localizedString("button_open"), "打开");
    EXPECT_EQ(bundle.localizedString("no_such_key"), "no_such_key");
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QtBundle::loadTranslations();
    EXPECT_EQ(bundle.localizedString("menu_quit"), "Quit Daylume");
}

}  // namespace
}  // namespace daylume::test
