// Qt's translations for the user's language and the list of screen styles.
#include "app/window/WindowSetup.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>

namespace talvine::test {
namespace {

struct StyleCase {
    const char* name;
    QStringList keys;
    QString system;
    QStringList expected;
};

class ScreenStyleList : public ::testing::TestWithParam<StyleCase> {};

TEST_P(ScreenStyleList, OffersOnlyStylesThatLookDifferent) {
    EXPECT_EQ(ScreenStyleNames(GetParam().keys, GetParam().system), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, ScreenStyleList,
    ::testing::Values(
        // Linux: the system look is Fusion, and Qt's "Windows" hides behind the plain look's name.
        StyleCase{"FusionIsTheSystemLook", {"Windows", "Fusion"}, "fusion", {"Windows"}},
        StyleCase{"WindowsIsTheSystemLook", {"Windows", "Fusion"}, "windows", {"Windows", "Fusion"}},
        StyleCase{"WindowsVista", {"windowsvista", "Windows", "Fusion"}, "windowsvista", {"Windows", "Fusion"}},
        StyleCase{"PluginStylesKeepTheirOrder", {"Breeze", "Windows", "Fusion", "breeze"}, "breeze",
                  {"Windows", "Fusion"}},
        StyleCase{"NoSystemStyleKnown", {"Fusion", "fusion"}, "", {"Windows", "Fusion"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Qt's dialogs in the user's language: Japanese under a Japanese locale.
TEST(QtTranslations, JapaneseLocaleTranslatesQtsOwnDialogs) {
    int argc = 1;
    char name[] = "talvine_window_setup_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_FALSE(InstallQtTranslations(app, QLocale(QLocale::English, QLocale::UnitedStates)));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
    ASSERT_TRUE(InstallQtTranslations(app, QLocale(QLocale::Japanese, QLocale::Japan)))
        << "Qt's translations (qt6-translations-l10n) are not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("キャンセル"));
}

}  // namespace
}  // namespace talvine::test
