#include "IniFile.h"

#include "TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    TTemporaryDirectory Directory;
    std::string Path = Directory.File("kormoran.ini");
    TIniFile Ini{Path};
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheFallback)
{
    EXPECT_EQ(Ini.ReadString("SIZE", "WIDTH", "dflt"), "dflt");
    WriteBytes(Path, "[SIZE]\nHEIGHT=5\n");
    EXPECT_EQ(Ini.ReadString("SIZE", "WIDTH", "dflt"), "dflt");
    EXPECT_EQ(Ini.ReadString("POSITION", "HEIGHT", "dflt"), "dflt");
}

TEST_F(IniFileTest, ReadsNamesWithoutCaseAndValuesWithoutSurroundingBlanks)
{
    WriteBytes(Path, "[other]\ntop=1\n\n [Position] \r\n  Top =  -5 \r\nTOP=7\n");
    EXPECT_EQ(Ini.ReadString("POSITION", "TOP", ""), "-5");
    EXPECT_EQ(Ini.ReadString("other", "TOP", ""), "1");
}

TEST_F(IniFileTest, KeyOfAnotherSectionIsNotFound)
{
    WriteBytes(Path, "[SIZE]\nWIDTH=1\n[SPLIT]\nVERTICAL=2\n");
    EXPECT_EQ(Ini.ReadString("SPLIT", "WIDTH", "none"), "none");
}

TEST_F(IniFileTest, EmptyValueIsReadAsEmpty)
{
    WriteBytes(Path, "[SIZE]\nWIDTH=\n");
    EXPECT_EQ(Ini.ReadString("SIZE", "WIDTH", "dflt"), "");
}

TEST_F(IniFileTest, WriteCreatesTheFileAndItsSections)
{
    Ini.WriteString("POSITION", "TOP", "20");
    Ini.WriteString("POSITION", "LEFT", "30");
    Ini.WriteString("SIZE", "HEIGHT", "450");
    EXPECT_EQ(ReadBytes(Path), "[POSITION]\nTOP=20\nLEFT=30\n\n[SIZE]\nHEIGHT=450\n");
    EXPECT_EQ(Ini.ReadString("POSITION", "LEFT", ""), "30");
}

TEST_F(IniFileTest, WriteReplacesOneKeyAndLeavesEveryOtherByteAlone)
{
    const std::string before = "; mine\r\n[POSITION]\r\nTOP=1\r\nLEFT = 2\r\n\r\n[OTHER]\r\nX=y z\r\n";
    WriteBytes(Path, before);
    Ini.WriteString("position", "left", "99");
    EXPECT_EQ(ReadBytes(Path), "; mine\r\n[POSITION]\r\nTOP=1\r\nleft=99\r\n\r\n[OTHER]\r\nX=y z\r\n");
}

TEST_F(IniFileTest, NewKeyJoinsTheEndOfItsSectionBeforeTheBlankLine)
{
    WriteBytes(Path, "[POSITION]\nTOP=1\n\n[SIZE]\nWIDTH=3");
    Ini.WriteString("POSITION", "LEFT", "2");
    Ini.WriteString("SIZE", "HEIGHT", "4");
    EXPECT_EQ(ReadBytes(Path), "[POSITION]\nTOP=1\nLEFT=2\n\n[SIZE]\nWIDTH=3\nHEIGHT=4\n");
}

TEST_F(IniFileTest, WriteKeepsThePermissionsOfTheFile)
{
    WriteBytes(Path, "[A]\nB=1\n");
    ::chmod(Path.c_str(), 0640);
    Ini.WriteString("A", "B", "2");
    struct stat status {};
    ASSERT_EQ(::stat(Path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, UnwritableFileRaisesWithTheFileName)
{
    TIniFile nowhere(Directory.File("missing/kormoran.ini"));
    try {
        nowhere.WriteString("SIZE", "WIDTH", "1");
        FAIL() << "no exception";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message, "Unable to write to " + Directory.File("missing/kormoran.ini"));
    }
}

TEST_F(IniFileTest, DirectoryInPlaceOfTheFileIsUnwritable)
{
    // The temporary file is written, but cannot be renamed over a directory.
    ASSERT_EQ(::mkdir(Path.c_str(), 0755), 0);
    EXPECT_THROW(Ini.WriteString("SIZE", "WIDTH", "1"), EIniFileException);
    EXPECT_EQ(Ini.ReadString("SIZE", "WIDTH", "dflt"), "dflt");
}

} // namespace
