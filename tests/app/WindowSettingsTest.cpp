#include "WindowSettings.h"

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

} // namespace
