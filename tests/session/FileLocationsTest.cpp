#include "FileLocations.h"

#include "AccountFile.h"
#include "Exception.h"
#include "TemporaryDirectory.h"
#include "udm.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Sets or unsets one environment variable for the life of the object.
class TEnvironment {
public:
    TEnvironment(const char* name, const std::optional<std::string>& value) : FName(name)
    {
        if (const char* old = std::getenv(name))
            FOld = old;
        Set(value);
    }
    ~TEnvironment() { Set(FOld); }

private:
    void Set(const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(FName, value->c_str(), 1);
        else
            ::unsetenv(FName);
    }

    const char* FName;
    std::optional<std::string> FOld;
};

mode_t Mode(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// The executable's directory (bin/), a home and a configuration directory, all temporary.
class FileLocationsTest : public ::testing::Test {
protected:
    FileLocationsTest() { ::mkdir(Bin.c_str(), 0755); SetAppFileDirectory(Bin); }
    ~FileLocationsTest() override { SetAppFileDirectory(""); }

    TTemporaryDirectory Directory;
    const std::string Bin = Directory.File("bin");
    const std::string Home = Directory.File("home");
    const std::string Config = Directory.File("config");
};

TEST_F(FileLocationsTest, AccountFileIsFoundInEachOfItsPlaces)
{
    struct TCase {
        const char* Name;
        std::optional<std::string> ConfigHome;
        bool BesideExecutable;
        std::string Expected;
    };
    const TCase cases[] = {
        {"configuration home", Config, false, Config + "/kormoran/accounts.dat"},
        {"no configuration home", std::nullopt, false, Home + "/.config/kormoran/accounts.dat"},
        {"empty configuration home", "", false, Home + "/.config/kormoran/accounts.dat"},
        {"relative configuration home", "config", false, Home + "/.config/kormoran/accounts.dat"},
        {"portable copy or an earlier build's file", Config, true, Bin + "/accounts.dat"},
    };
    for (const TCase& c : cases) {
        TEnvironment home("HOME", Home);
        TEnvironment configHome("XDG_CONFIG_HOME", c.ConfigHome);
        ::unlink((Bin + "/accounts.dat").c_str());
        if (c.BesideExecutable)
            WriteBytes(Bin + "/accounts.dat", "");
        EXPECT_EQ(AccountFilePath(), c.Expected) << c.Name;
        EXPECT_EQ(SettingsFilePath(), ConfigDirectory() + "/kormoran.ini") << c.Name;
    }
}

TEST_F(FileLocationsTest, HelpFileBesideTheExecutableElseInTheDataDirectory)
{
    EXPECT_EQ(HelpFilePath(), Directory.File("share/kormoran/Kormoran.hlp"));
    WriteBytes(Bin + "/Kormoran.hlp", "#1 Obsah\n");
    EXPECT_EQ(HelpFilePath(), Bin + "/Kormoran.hlp");
}

TEST_F(FileLocationsTest, FirstSaveCreatesAPrivateDirectoryAndFile)
{
    TEnvironment configHome("XDG_CONFIG_HOME", Config);
    const std::string path = AccountFilePath();
    SaveAccountFile(path, {{"a@x", "h", "u", "secret", "110"}});
    EXPECT_EQ(Mode(Config), 0700u);
    EXPECT_EQ(Mode(Config + "/kormoran"), 0700u);
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(LoadAccountFile(path).at(0).Password, "secret");
}

TEST_F(FileLocationsTest, SaveReplacesWhatALinkPointsAtAndKeepsTheLink)
{
    const std::string target = Directory.File("elsewhere.dat");
    WriteBytes(target, "old\r\n");
    const std::string link = Bin + "/accounts.dat";
    ASSERT_EQ(::symlink("../elsewhere.dat", link.c_str()), 0);
    SaveAccountFile(link, {{"a@x", "h", "u", "p", "110"}});
    char pointsAt[256] = {};
    ASSERT_GT(::readlink(link.c_str(), pointsAt, sizeof pointsAt - 1), 0);
    EXPECT_STREQ(pointsAt, "../elsewhere.dat");
    EXPECT_EQ(ReadBytes(target), "a@x\r\nh\r\nu\r\np\r\n110\r\n");
}

TEST_F(FileLocationsTest, ErrorsNameTheFile)
{
    const std::string unreadable = Bin + "/accounts.dat";
    ASSERT_EQ(::mkdir(unreadable.c_str(), 0700), 0);
    const std::string blocked = Directory.File("file/accounts.dat");
    WriteBytes(Directory.File("file"), "");
    try {
        LoadAccountFile(unreadable);
        ADD_FAILURE() << "a directory was read as the account file";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message, "I/O error 21: " + unreadable);
    }
    try {
        SaveAccountFile(blocked, {});
        ADD_FAILURE() << "saved below a plain file";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message, "I/O error 20: " + blocked);
    }
}

// The save dialog opens where downloads go, else at home: never in the working
// directory, whatever it is.
TEST(DownloadDirectory, IsTheUsersDownloadsElseHome)
{
    TTemporaryDirectory home;
    const std::string downloads = home.File("Stažené");
    ::mkdir(downloads.c_str(), 0700);
    ::mkdir(home.File(".config").c_str(), 0700);
    TEnvironment homeVariable("HOME", home.Path());
    TEnvironment configHome("XDG_CONFIG_HOME", std::nullopt);
    struct Case {
        const char* Name;
        std::optional<std::string> Variable;
        std::string UserDirs;
        std::string Expected;
    };
    const std::vector<Case> cases = {
        {"the variable", downloads, "", downloads},
        {"user-dirs.dirs", std::nullopt, "XDG_DOWNLOAD_DIR=\"$HOME/Stažené\"\n", downloads},
        {"a directory that is not there", home.File("gone"), "XDG_DOWNLOAD_DIR=\"$HOME/gone\"\n", home.Path()},
        {"nothing said", std::nullopt, "", home.Path()},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        TEnvironment variable("XDG_DOWNLOAD_DIR", test.Variable);
        WriteBytes(home.File(".config/user-dirs.dirs"), test.UserDirs);
        EXPECT_EQ(DownloadDirectory(), test.Expected);
    }
}

} // namespace
