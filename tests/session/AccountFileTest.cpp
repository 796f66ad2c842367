#include "AccountFile.h"
#include "Keyring.h"
#include "AccountUpdate.h"
#include "SingleInstance.h"

#include "Convert.h"
#include "Cp1250.h"
#include "Exception.h"
#include "TemporaryDirectory.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TAccountLines Account(std::string address, std::string host, std::string user, std::string password, std::string port)
{
    return {address, host, user, password, port};
}

void ExpectAccount(const TAccountLines& actual, const TAccountLines& expected)
{
    EXPECT_EQ(actual.Address, expected.Address);
    EXPECT_EQ(actual.Host, expected.Host);
    EXPECT_EQ(actual.User, expected.User);
    EXPECT_EQ(actual.Password, expected.Password);
    EXPECT_EQ(actual.Port, expected.Port);
}

TEST(AccountFile, EmptyTextHoldsNoAccount)
{
    EXPECT_TRUE(ParseAccounts("").empty());
    EXPECT_EQ(FormatAccounts({}), "");
}

TEST(AccountFile, ReadsFiveLinesPerAccountInOrder)
{
    auto accounts = ParseAccounts("a@x\r\npop.x\r\na\r\npw\r\n110\r\nb@y\r\npop.y\r\nb\r\n\r\n995\r\n");
    ASSERT_EQ(accounts.size(), 2u);
    ExpectAccount(accounts[0], Account("a@x", "pop.x", "a", "pw", "110"));
    ExpectAccount(accounts[1], Account("b@y", "pop.y", "b", "", "995"));
}

TEST(AccountFile, LinesMissingAtTheEndReadAsEmpty)
{
    auto accounts = ParseAccounts("a@x\r\npop.x\r\na\r\npw\r\n110\r\nb@y\r\npop.y");
    ASSERT_EQ(accounts.size(), 2u);
    ExpectAccount(accounts[1], Account("b@y", "pop.y", "", "", ""));
}

TEST(AccountFile, ExtraEmptyLineAtTheEndIsOneMoreEmptyAccount)
{
    auto accounts = ParseAccounts("a@x\r\npop.x\r\na\r\npw\r\n110\r\n\r\n");
    ASSERT_EQ(accounts.size(), 2u);
    ExpectAccount(accounts[1], Account("", "", "", "", ""));
}

TEST(AccountFile, CtrlZEndsTheFile)
{
    auto accounts = ParseAccounts("a@x\r\npop.x\r\na\r\npw\r\n110\r\n\x1A" "b@y\r\npop.y\r\n");
    ASSERT_EQ(accounts.size(), 1u);
    ExpectAccount(accounts[0], Account("a@x", "pop.x", "a", "pw", "110"));
}

TEST(AccountFile, LinesEndAtLfWithOrWithoutCr)
{
    auto accounts = ParseAccounts("a@x\npop.x\r\na\npw\r\n110\n");
    ASSERT_EQ(accounts.size(), 1u);
    ExpectAccount(accounts[0], Account("a@x", "pop.x", "a", "pw", "110"));
}

TEST(AccountFile, LinesAreTakenAsTheyAre)
{
    // Blanks around a password are part of it; a lone CR is not a line end.
    auto accounts = ParseAccounts(" a@x \r\npop\rx\r\n\tuser\r\n  heslo  \r\n110\r\n");
    ASSERT_EQ(accounts.size(), 1u);
    ExpectAccount(accounts[0], Account(" a@x ", "pop\rx", "\tuser", "  heslo  ", "110"));
}

TEST(AccountFile, WritesFiveCrLfLinesPerAccount)
{
    EXPECT_EQ(FormatAccounts({Account("a@x", "pop.x", "a", " pw ", "110"), Account("", "", "", "", "0")}),
              "a@x\r\npop.x\r\na\r\n pw \r\n110\r\n\r\n\r\n\r\n\r\n0\r\n");
}

class AccountFileOnDisk : public ::testing::Test {
protected:
    TTemporaryDirectory Directory;
    std::string Path = Directory.File("accounts.dat");
};

TEST_F(AccountFileOnDisk, MissingFileHoldsNoAccount)
{
    EXPECT_TRUE(LoadAccountFile(Path).empty());
}

TEST_F(AccountFileOnDisk, CzechLettersReadFromWindows1250AndWrittenBackByteForByte)
{
    // "žluťoučký@kůň.cz", "pošta.cz", "ČŘÁ", " ľě " as an earlier version wrote them.
    const std::string existing = "\x9Elu\x9Dou\xE8k\xFD@k\xF9\xF2.cz\r\npo\x9Ata.cz\r\n\xC8\xD8\xC1\r\n \xBE\xEC \r\n110\r\n"
                                 "\x9Elu\x9Dou\xE8k\xFD@k\xF9\xF2.cz\r\nother\r\n\r\n\r\n995\r\n";
    WriteBytes(Path, existing);
    auto accounts = LoadAccountFile(Path);
    ASSERT_EQ(accounts.size(), 2u);
    ExpectAccount(accounts[0], Account("žluťoučký@kůň.cz", "pošta.cz", "ČŘÁ", " ľě ", "110"));
    ExpectAccount(accounts[1], Account("žluťoučký@kůň.cz", "other", "", "", "995"));
    SaveAccountFile(Path, accounts);
    EXPECT_EQ(ReadBytes(Path), existing);
}

TEST_F(AccountFileOnDisk, TextWindows1250CannotHoldIsRefusedNotWrittenAsQuestionMarks)
{
    const std::string previous = FormatAccounts({Account("a@x", "h", "u", "p", "110")});
    WriteBytes(Path, previous);
    try {
        SaveAccountFile(Path, {Account("a@x", "h", "Дмитрий", "p", "110")});
        FAIL() << "no exception";
    } catch (const ECp1250Error& error) {
        EXPECT_EQ(error.Message, "Text obsahuje znak „Д“, který nelze uložit v kódování Windows-1250.");
    }
    EXPECT_EQ(ReadBytes(Path), previous);
}

TEST_F(AccountFileOnDisk, EmptyListIsAnEmptyFile)
{
    WriteBytes(Path, "old\r\n");
    SaveAccountFile(Path, {});
    EXPECT_EQ(ReadBytes(Path), "");
}

TEST_F(AccountFileOnDisk, OnlyTheOwnerMayReadThePasswords)
{
    WriteBytes(Path, "old\r\n");
    ::chmod(Path.c_str(), 0644);
    SaveAccountFile(Path, {Account("a@x", "h", "u", "secret", "110")});
    struct stat status {};
    ASSERT_EQ(::stat(Path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(AccountFileOnDisk, FailedSaveLeavesThePreviousFileIntact)
{
    const std::string previous = FormatAccounts({Account("a@x", "h", "u", "p", "110")});
    WriteBytes(Path, previous);
    // A file size limit makes the write fail part way, as a full disk would.
    struct rlimit original {};
    ::getrlimit(RLIMIT_FSIZE, &original);
    struct rlimit limited = original;
    limited.rlim_cur = 64;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_THROW(SaveAccountFile(Path, {Account(std::string(200, 'x'), "h", "u", "p", "110")}), EInOutError);
    ::setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadBytes(Path), previous);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Directory.Path()))
        ++files;
    EXPECT_EQ(files, 1) << "the temporary file was left behind";
}

TEST_F(AccountFileOnDisk, UnreadableFileRaisesTheInputOutputError)
{
    ASSERT_EQ(::mkdir(Path.c_str(), 0700), 0);
    EXPECT_THROW(LoadAccountFile(Path), EInOutError);
}

TEST(AccountRecord, PortTextBecomesAnInteger)
{
    TPOP3Rec record = RecordFromLines(Account("a@x", "h", "u", "p", "-995"));
    EXPECT_EQ(record.Address, "a@x");
    EXPECT_EQ(record.Password, "p");
    EXPECT_EQ(record.Port, -995);
    EXPECT_EQ(LinesFromRecord(record).Port, "-995");
}

TEST(AccountRecord, HostLineCarriesTheSecurityAndTheLoginMethod)
{
    struct Case {
        const char* line;
        const char* port;
        const char* host;
        TIdConnectionSecurity security;
        const char* written;
        TLoginMethod login = lmPassword;
    };
    const Case cases[] = {
        {"pop3s://pop.x.cz", "995", "pop.x.cz", csImplicitTls, "pop3s://pop.x.cz"},
        {"POP3S://pop.x.cz", "1995", "pop.x.cz", csImplicitTls, "pop3s://pop.x.cz"},
        {"starttls://[::1]", "110", "[::1]", csStartTls, "starttls://[::1]"},
        {"pop.x.cz", "995", "pop.x.cz", csImplicitTls, "pop3s://pop.x.cz"},
        {"pop.x.cz", "110", "pop.x.cz", csNone, "pop.x.cz"},
        {"", "", "", csNone, ""},
        {"pop3s+oauth2://outlook.office365.com", "995", "outlook.office365.com", csImplicitTls,
         "pop3s+oauth2://outlook.office365.com", lmOAuth2},
        {"StartTLS+OAuth2://pop.x.cz", "110", "pop.x.cz", csStartTls, "starttls+oauth2://pop.x.cz", lmOAuth2},
        {"pop3+oauth2://127.0.0.1", "110", "127.0.0.1", csNone, "pop3+oauth2://127.0.0.1", lmOAuth2},
        // Not a scheme this program writes: the host is taken as it stands.
        {"pop3s+xoauth://pop.x.cz", "110", "pop3s+xoauth://pop.x.cz", csNone, "pop3s+xoauth://pop.x.cz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const THostLine parsed = ParseHostLine(c.line, StrToIntDef(c.port, 0));
        EXPECT_EQ(parsed.Host, c.host);
        EXPECT_EQ(parsed.Security, c.security);
        EXPECT_EQ(parsed.Login, c.login);
        if (*c.port) {
            const TPOP3Rec record = RecordFromLines(Account("a@x", c.line, "u", "p", c.port));
            EXPECT_EQ(record.Host, c.host);
            EXPECT_EQ(record.Security, c.security);
            EXPECT_EQ(record.Login, c.login);
            EXPECT_EQ(LinesFromRecord(record).Host, c.written);
        }
    }
}

TEST(AccountRecord, PortThatIsNoIntegerRaisesTheConversionError)
{
    try {
        RecordFromLines(Account("a@x", "h", "u", "p", ""));
        FAIL() << "no exception";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message, "'' is not a valid integer value");
    }
}

} // namespace

namespace {

TEST(AppFilePath, NamesAFileInTheProgramDirectory)
{
    char executable[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", executable, sizeof executable - 1), 0);
    std::string directory = std::filesystem::path(executable).parent_path().string();
    EXPECT_EQ(AppFilePath("accounts.dat"), directory + "/accounts.dat");

    SetAppFileDirectory("/tmp//somewhere/");
    EXPECT_EQ(AppFilePath("/Kormoran.hlp"), "/tmp/somewhere/Kormoran.hlp");
    SetAppFileDirectory("");
}

// Two windows (or a window and the command line) that read the file at different times:
// each change lands on the file as it is, so nothing another writer did is undone.
TEST(AccountUpdate, NoWriterUndoesAnother)
{
    const TAccountLines a = Account("a@x", "pop.x", "a", "pw-a", "110");
    const TAccountLines b = Account("b@y", "pop.y", "b", "pw-b", "110");
    const TAccountLines c = Account("c@z", "pop.z", "c", "pw-c", "995");
    const TAccountLines a2 = Account("a@x", "pop.x", "a", "new", "110");
    struct Case {
        const char* Name;
        // What the other writer did after this one read the file [a, b].
        TAccountChange Other;
        TAccountChange Mine;
        std::vector<TAccountLines> Result;
    };
    const std::vector<Case> cases = {
        {"both add", AddAccountChange(c), AddAccountChange(a2), {a, b, c, a2}},
        {"one deletes, the other adds", DeleteAccountChange(a), AddAccountChange(c), {b, c}},
        {"a deleted account does not come back", DeleteAccountChange(b), DeleteAccountChange(a), {}},
        {"an edit of a deleted account is kept", DeleteAccountChange(a), EditAccountChange(a, a2), {b, a2}},
        {"an edit lands on its own account", AddAccountChange(a), EditAccountChange(a, a2), {a2, b, a}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        TTemporaryDirectory directory;
        const std::string path = directory.File("accounts.dat");
        SaveAccountFile(path, {a, b});
        UpdateAccountFile(path, test.Other);
        EXPECT_EQ(UpdateAccountFile(path, test.Mine), test.Result);
        EXPECT_EQ(LoadAccountFile(path), test.Result);
    }
}

// Files that are no account file, and a directory others may write into, are refused
// with the place named; nothing is read into memory past the bound.
TEST(AccountFile, RefusesOversizedFilesAndSharedDirectories)
{
    TTemporaryDirectory directory;
    const std::string path = directory.File("accounts.dat");
    WriteBytes(path, std::string((1 << 20) + 1, 'x'));
    try {
        LoadAccountFile(path);
        ADD_FAILURE();
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message, "File too large: " + path);
    }
    EXPECT_THROW(LoadExistingAccountFile("/dev/zero"), EInOutError);
    ::chmod(directory.Path().c_str(), 0777);
    for (const auto& operation : std::vector<std::function<void()>>{[&] { LoadAccountFile(path); },
                                                                    [&] { SaveAccountFile(path, {}); }}) {
        try {
            operation();
            ADD_FAILURE();
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.Message, "Adresář s účty smí měnit i jiní uživatelé, účty v něm nepoužiji "
                                     "(nastavte mu práva 700): " + directory.Path());
        }
    }
    ::chmod(directory.Path().c_str(), 0700);
}

TEST(SingleInstance, ASecondStartAsksTheFirstAndEnds)
{
    TTemporaryDirectory runtime;
    const std::string directory = runtime.File("kormoran");
    TSingleInstance first(directory);
    ASSERT_TRUE(first.First());
    ASSERT_GE(first.ListeningSocket(), 0);
    {
        TSingleInstance second(directory);
        EXPECT_FALSE(second.First());
    }
    EXPECT_TRUE(first.TakeRequest());
    EXPECT_FALSE(first.TakeRequest());   // one start, one request
    // Without a runtime directory every start stands alone.
    EXPECT_TRUE(TSingleInstance("").First());
}

} // namespace

// The test run gives no D-Bus session: the account file works as it always did.
TEST(AccountFileWithoutKeyring, PasswordsStayInTheLinesWhenNoKeyringAnswers)
{
    std::vector<TAccountLines> accounts = {{"joe@example.org", "pop3s://pop.example.org", "joe", "heslo", "995"},
                                           {"ann@example.org", "pop.example.org", "ann", "", "110"}};
    const std::vector<TAccountLines> before = accounts;
    EXPECT_FALSE(KeyringAvailable());
    EXPECT_NE(MovePasswordsToKeyring(accounts), "");
    EXPECT_EQ(FormatAccounts(accounts), FormatAccounts(before));
    EXPECT_EQ(AccountPassword(KeyringAccountOf(accounts[0]), "heslo"), "heslo") << "the file's password holds";
}
