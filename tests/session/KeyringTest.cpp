// The keyring against a real Secret Service: a private D-Bus session with its own
// unlocked keyring (tests/support/with-keyring), and the private Dovecot.
#include "AccountFile.h"
#include "Keyring.h"
#include "PrivatePop3Server.h"
#include "RunCli.h"
#include "TemporaryDirectory.h"
#include "udm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <thread>

namespace {

TAccountLines AccountLines(const PrivatePop3Server& server, const std::string& address)
{
    return {address, "127.0.0.1", server.User(), server.Password(), std::to_string(server.Port())};
}

} // namespace

TEST(Keyring, EveryAccountHasAnItemOfItsOwn)
{
    ASSERT_TRUE(KeyringAvailable()) << "run under tests/support/with-keyring";
    // The last two would share a key if user and host were only joined by "@".
    const std::vector<std::pair<TKeyringAccount, std::string>> items = {
        {{"joe@example.org", "pop.example.org", "joe"}, "první heslo"},
        {{"joe@example.org", "pop3.example.org", "joe"}, "druhé"},
        {{"ann@example.org", "c", "a@b"}, "třetí"},
        {{"ann@example.org", "b@c", "a"}, "čtvrté"},
    };
    for (const auto& [account, password] : items)
        WriteKeyringPassword(account, password);
    for (const auto& [account, password] : items)
        EXPECT_EQ(ReadKeyringPassword(account), password) << KeyringKey(account);

    DeleteKeyringPassword(items[2].first);
    DeleteKeyringPassword(items[2].first);
    EXPECT_EQ(ReadKeyringPassword(items[2].first), std::nullopt);
    EXPECT_EQ(ReadKeyringPassword(items[3].first), items[3].second);
    EXPECT_EQ(ReadKeyringPassword({"nobody@example.org", "pop.example.org", "joe"}), std::nullopt);
}

TEST(Keyring, PasswordsMoveInAndChecksOfWindowAndTerminalFindThem)
{
    PrivatePop3Server server;
    server.AddMessage("Subject: one\r\n\r\nbody\r\n");
    TTemporaryDirectory directory;
    const std::string path = directory.Path() + "/accounts.dat";
    std::vector<TAccountLines> accounts = {AccountLines(server, "moved@example.org")};

    EXPECT_EQ(MovePasswordsToKeyring(accounts), "");
    EXPECT_EQ(accounts[0].Password, "");
    SaveAccountFile(path, accounts);
    const std::vector<TAccountLines> loaded = LoadAccountFile(path);
    ASSERT_EQ(loaded.size(), 1U);
    EXPECT_EQ(loaded[0].Password, "") << "five lines, the password line empty";

    auto session = CreateSession(RecordFromLines(loaded[0]));
    EXPECT_EQ(CheckMailbox(session), 1);
    EXPECT_EQ(session->KeyringNote, "");
    EndSessions();

    const TCliResult fromKeyring = RunCli({"--accounts", path, "check", "1"});
    EXPECT_EQ(fromKeyring.Status, 0) << fromKeyring.Err;
    ::setenv("KORMORAN_PASSWORD", "wrong", 1);
    const TCliResult environmentWins = RunCli({"--accounts", path, "check", "1"});
    ::unsetenv("KORMORAN_PASSWORD");
    EXPECT_EQ(environmentWins.Status, 1) << "KORMORAN_PASSWORD comes before the keyring";

    // kormoran-cli password stores as the window does: in the keyring, the line empty.
    const TCliResult stored = RunCli({"--accounts", path, "password", "1"}, "nove heslo\n");
    EXPECT_EQ(stored.Status, 0) << stored.Err;
    EXPECT_EQ(LoadAccountFile(path)[0].Password, "");
    EXPECT_EQ(ReadKeyringPassword(KeyringAccountOf(loaded[0])), "nove heslo");
    EXPECT_EQ(RunCli({"--accounts", path, "remove", "1"}).Status, 0);
    EXPECT_EQ(ReadKeyringPassword(KeyringAccountOf(loaded[0])), std::nullopt);
}

TEST(Keyring, CallsFromAnotherThreadAreAnsweredThroughTheApplicationsThread)
{
    // The keyring answers only on the thread that first spoke to it.
    ASSERT_TRUE(KeyringAvailable());
    const TKeyringAccount account{"thread@example.org", "pop.example.org", "thread"};
    std::optional<std::string> read;
    std::string failure;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        try {
            WriteKeyringRefreshToken(account, "z vlákna");
            read = ReadKeyringRefreshToken(account);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    worker.join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(read, "z vlákna");
    EXPECT_EQ(ReadKeyringPassword(account), std::nullopt) << "a refresh token is an item of its own";
}
