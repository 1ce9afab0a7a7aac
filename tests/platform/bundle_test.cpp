// The bundle's settings and string tables as compiled into the program.
#include <gtest/gtest.h>

#include <QLocale>

#include "platform/linux/qt_bundle.h"
#include "shell/user_status.h"
#include "support/sim_platform.h"

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
    SimPlatform sim;
    const UserStatus status(sim.application, bundle, sim.loop);
    EXPECT_EQ(status.causeText(Cause::NotTrusted, "expired"),
              "服务的证书不受信任：已过期（系统时间是否正确？）");
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QtBundle::loadTranslations();
    EXPECT_EQ(bundle.localizedString("menu_quit"), "Quit Daylume");
    // Every cause has a text in both tables.
    for (const char* locale : {"en_US", "zh_CN"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        QtBundle::loadTranslations();
        for (std::size_t cause = 0; cause < kCauseCount; ++cause)
            for (const char* detail : {"expired", "revoked", "invalid"})
                EXPECT_EQ(status.causeText(Cause(cause), detail).find('_'), std::string::npos)
                    << locale << " " << cause;
    }
}

}  // namespace
}  // namespace daylume::test
