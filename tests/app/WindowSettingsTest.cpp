#include "WindowSettings.h"

#include "ScreenPlacement.h"

#include "TemporaryDirectory.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class WindowSettingsTest : public ::testing::Test {
protected:
    TTemporaryDirectory Directory;
    TIniFile Ini{Directory.File("kormoran.ini")};

    int32_t Read(const std::string& value)
    {
        WriteBytes(Ini.FileName(), "[SIZE]\nWIDTH=" + value + "\n");
        return ReadSetting(Ini, SettingWidth);
    }
};

TEST_F(WindowSettingsTest, ReadsDecimalAndHexadecimalValues)
{
    EXPECT_EQ(Read("640"), 640);
    EXPECT_EQ(Read("-5"), -5);
    EXPECT_EQ(Read("0x1F"), 31);
    EXPECT_EQ(Read("0X1f"), 31);
    EXPECT_EQ(Read("$1F"), 31);
}

TEST_F(WindowSettingsTest, AnythingElseGivesTheDefault)
{
    for (const char* value : {"", "abc", "0x", "$", "12px", "0x-1", "99999999999"})
        EXPECT_EQ(Read(value), 580) << value;
    EXPECT_EQ(ReadSetting(TIniFile(Directory.File("missing.ini")), SettingTop), 20);
}

TEST_F(WindowSettingsTest, WritesDecimalTextAndCreatesTheDirectory)
{
    TIniFile nested(Directory.File("config/kormoran.ini"));
    WriteSetting(nested, SettingVertical, -12);
    EXPECT_EQ(ReadBytes(nested.FileName()), "[SPLIT]\nVERTICAL=-12\n");
}

TEST(ScreenPlacement, AWindowOffEveryScreenComesBackOnOne)
{
    const QList<QRect> screens = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
    struct TCase {
        QRect Stored;
        QRect Placed;
    };
    const TCase cases[] = {
        {QRect(20, 20, 580, 450), QRect(20, 20, 580, 450)},          // on the first screen
        {QRect(1300, 100, 580, 450), QRect(1300, 100, 580, 450)},    // on the second
        {QRect(-40, 300, 640, 480), QRect(-40, 300, 640, 480)},      // partly off, top edge on
        {QRect(1200, -5, 580, 450), QRect(1200, -5, 580, 450)},      // across both
        {QRect(-2000, 50, 580, 450), QRect(0, 50, 580, 450)},        // left of every screen
        {QRect(100, 790, 580, 450), QRect(100, 350, 580, 450)},      // only the top edge's last pixels on
        {QRect(3000, 5000, 580, 450), QRect(700, 350, 580, 450)},    // far away: the first screen
        {QRect(5, 5, 3000, 2000), QRect(5, 5, 1280, 800)},           // larger than any screen
        {QRect(-32768, 32767, 9000, 9000), QRect(0, 0, 1280, 800)},
    };
    for (const TCase& test : cases)
        EXPECT_EQ(PlacedOnScreens(test.Stored, screens), test.Placed)
            << test.Stored.x() << "," << test.Stored.y() << " " << test.Stored.width() << "x" << test.Stored.height();
}

} // namespace
