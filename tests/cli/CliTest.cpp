// kormoran-cli end to end, against the private POP3 server.
#include "Password.h"
#include "PrivatePop3Server.h"
#include "RunCli.h"
#include "SampleMessages.h"
#include "ScriptedServer.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <signal.h>
#include <sys/resource.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

namespace {

// A process that has ended but was not yet reaped by its new parent.
bool IsZombie(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    status >> pidText >> name >> state;
    return state == "Z";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    TTemporaryDirectory Temporary;
    const std::string Directory = Temporary.Path();
    const std::string Accounts = Temporary.File("accounts.dat");

    // What the checks saw stays in the test's own directory.
    void SetUp() override { ::setenv("XDG_STATE_HOME", Directory.c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_STATE_HOME"); }

    // The account file: the given server as account 1 (and "me@localhost"), one that
    // nobody listens on as account 2.
    void WriteAccounts(const PrivatePop3Server& server, const std::string& password)
    {
        std::ofstream file(Accounts, std::ios::binary);
        file << "me@localhost\r\n127.0.0.1\r\n" << server.User() << "\r\n" << password << "\r\n"
             << server.Port() << "\r\n";
        file << "nobody@localhost\r\n127.0.0.1\r\nnobody\r\nx\r\n1\r\n";
    }

    TCliResult Run(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), {"--accounts", Accounts});
        return RunCli(args, input);
    }

};

class CliMailboxTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        Server.AddMessages({Sample::Plain, Sample::Multipart, Sample::PdfOnly});
        WriteAccounts(Server, Server.Password());
    }

    PrivatePop3Server Server;
};

} // namespace

TEST_F(CliTest, HelpAndUsageErrors)
{
    const TCliResult help = RunCli({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("kormoran-cli"), std::string::npos);
    EXPECT_NE(help.Out.find("Příkazy:"), std::string::npos);
    EXPECT_EQ(RunCli({}).Status, 2);
    EXPECT_EQ(RunCli({"show", "1"}).Status, 2);
    const TCliResult unknown = RunCli({"--bogus", "check", "1"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_NE(unknown.Err.find("--bogus"), std::string::npos);
    EXPECT_TRUE(unknown.Out.empty());
}

TEST_F(CliTest, VersionAndTheAccountFilesExitStatuses)
{
    const TCliResult version = RunCli({"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out.rfind("kormoran-cli ", 0), 0u) << version.Out;

    // A file named on the command line must exist; the program's own file may be missing.
    const TCliResult mistyped = Run({"accounts"});
    EXPECT_EQ(mistyped.Status, 1);
    EXPECT_EQ(mistyped.Err, "File not found: " + Accounts + "\n");
    ::setenv("XDG_CONFIG_HOME", Directory.c_str(), 1);
    const TCliResult none = RunCli({"accounts"});
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(none.Status, 0) << none.Err;
    EXPECT_TRUE(none.Out.empty());
}

TEST_F(CliTest, AccountsAreListedWithoutTheirPasswords)
{
    std::ofstream(Accounts, std::ios::binary) << "ji\xF8\xED@example.cz\r\npop.example.cz\r\njiri\r\ntajne\r\n110\r\n"
                                                 "b@x\r\nh\r\nu\r\np\r\n";
    const TCliResult result = Run({"accounts"});
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Out, "1\tjiří@example.cz\tpop.example.cz\t110\tjiri\n2\tb@x\th\t\tu\n");
    EXPECT_EQ(result.Out.find("tajne"), std::string::npos);
}

TEST_F(CliTest, FailuresExitWithOneAndTheErrorText)
{
    std::ofstream(Accounts, std::ios::binary) << "a\r\n127.0.0.1\r\nu\r\np\r\n1\r\nb\r\nh\r\nu\r\np\r\nx\r\n";
    const TCliResult refused = Run({"check", "1"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("Socket Error"), std::string::npos) << refused.Err;
    const TCliResult badPort = Run({"check", "b"});
    EXPECT_EQ(badPort.Status, 1);
    EXPECT_EQ(badPort.Err, "'x' is not a valid integer value\n");
    const TCliResult noAccount = Run({"check", "3"});
    EXPECT_EQ(noAccount.Status, 1);
    EXPECT_EQ(noAccount.Err, "Účet neexistuje: 3\n");
}

TEST_F(CliMailboxTest, CheckListsEveryMessageWithItsColumns)
{
    // The date column stays ISO 8601 in a locale whose dates look otherwise.
    ::setenv("LC_ALL", "cs_CZ.UTF-8", 1);
    const TCliResult result = Run({"check", "me@localhost"});
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ASSERT_EQ(result.Status, 0) << result.Err;
    const auto lines = Lines(result.Out);
    ASSERT_EQ(lines.size(), 3u);
    // The server's unique ID comes last.
    EXPECT_EQ(lines[0].substr(0, lines[0].rfind('\t')),
              "1\t2023-03-15 13:05:09 +0100\t" + std::to_string(Sample::Plain.size()) +
                  "\tjiri@example.cz\tAnna <anna@example.org>, bob@example.org\tPříprava\t<plain@example.org>");
    EXPECT_GT(lines[0].size() - lines[0].rfind('\t'), 1u);
    EXPECT_EQ(lines[1].substr(0, 28), "2\t2023-03-16 00:00:00 +0100\t");
    EXPECT_EQ(lines[2].substr(0, 2), "3\t");
    EXPECT_TRUE(result.Err.empty()) << result.Err;

    const auto local = Lines(Run({"--local-dates", "check", "1"}).Out);
    ASSERT_EQ(local.size(), 3u);
    EXPECT_EQ(local[0].substr(0, 23), "1\t15 Mar 2023 13:05:09\t");
    EXPECT_EQ(local[1].substr(0, 14), "2\t16 Mar 2023\t");
}

TEST_F(CliMailboxTest, ShowPrintsTheMessageViewText)
{
    const TCliResult plain = Run({"show", "1", "1"});
    ASSERT_EQ(plain.Status, 0) << plain.Err;
    EXPECT_EQ(plain.Out, "Ahoj,\n.tecka na zacatku\nkonec\n");
    const TCliResult multipart = Run({"show", "1", "2"});
    ASSERT_EQ(multipart.Status, 0) << multipart.Err;
    const auto lines = Lines(multipart.Out);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[1], "---Přílohy-------------------------------");
    EXPECT_EQ(lines[3], "http://localhost/a.txt/ID=1 a.txt (text/plain)");
    EXPECT_EQ(lines[5], "---Tělo zprávy---------------------------");
    EXPECT_EQ(lines[6], "Ahoj");
    EXPECT_EQ(lines[9], "---Záhlaví zprávy------------------------");
    EXPECT_EQ(Run({"show", "1", "4"}).Status, 1);
}

TEST_F(CliMailboxTest, SaveWritesTheAttachmentAtExactlyThePathGivenAndNeverOverwrites)
{
    // Letters outside Czech in the path: the path goes to the system as it is.
    const std::string folder = Directory + "/Документы";
    std::filesystem::create_directory(folder);
    const std::string target = folder + "/Åsa.txt";
    const TCliResult saved = Run({"save", "1", "2", "1", target});
    ASSERT_EQ(saved.Status, 0) << saved.Err;
    EXPECT_EQ(ReadBytes(target), Sample::MultipartAttachment);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    const TCliResult again = Run({"save", "1", "2", "1", target});
    EXPECT_EQ(again.Status, 1);
    EXPECT_EQ(again.Err, "Soubor už existuje, nepřepíšu ho: " + target + "\n");
    EXPECT_EQ(ReadBytes(target), Sample::MultipartAttachment);

    const TCliResult textPart = Run({"save", "1", "2", "0", Directory + "/text"});
    EXPECT_EQ(textPart.Status, 1);
    EXPECT_FALSE(std::filesystem::exists(Directory + "/text"));

    const TCliResult pdf = Run({"save", "1", "3", "0", Directory + "/x.pdf"});
    ASSERT_EQ(pdf.Status, 0) << pdf.Err;
    EXPECT_EQ(ReadBytes(Directory + "/x.pdf"), Sample::PdfOnlyData);
}

TEST_F(CliMailboxTest, SaveToADashWritesTheAttachmentToStandardOutput)
{
    const TCliResult piped = Run({"save", "1", "3", "0", "-"});
    ASSERT_EQ(piped.Status, 0) << piped.Err;
    EXPECT_EQ(piped.Out, Sample::PdfOnlyData);
    EXPECT_FALSE(std::filesystem::exists(Directory + "/-"));
}

TEST_F(CliMailboxTest, APasswordFromACommandOrTheEnvironmentReplacesTheFilesOne)
{
    WriteAccounts(Server, "wrong");
    const std::string right = Server.Password();
    const struct {
        std::vector<std::string> Args;
        const char* Environment;
        int Status;
    } cases[] = {
        {{"check", "1"}, nullptr, 1},
        {{"check", "1"}, right.c_str(), 0},
        // Nothing new since the check before: exit status 3.
        {{"--password-command", "printf '%s\\n' " + right, "check", "1"}, "wrong", 3},
        {{"--password-command", "false", "check", "1"}, right.c_str(), 1},
        {{"--password-command", "true", "check", "1"}, right.c_str(), 1},
    };
    for (const auto& c : cases) {
        if (c.Environment)
            ::setenv("KORMORAN_PASSWORD", c.Environment, 1);
        const TCliResult result = Run(c.Args);
        ::unsetenv("KORMORAN_PASSWORD");
        EXPECT_EQ(result.Status, c.Status) << ::testing::PrintToString(c.Args) << result.Err;
    }
}

TEST_F(CliMailboxTest, DeleteAsksAndOnlyAYesDeletes)
{
    // No answer at all (a script without --yes) is a failure; a No is not.
    const struct {
        const char* Answer;
        int Status;
    } declines[] = {{"n\n", 0}, {"", 1}, {"nevim\n", 0}};
    ASSERT_EQ(Run({"check", "1"}).Status, 0);
    for (const auto& decline : declines) {
        const TCliResult declined = Run({"delete", "1", "2"}, decline.Answer);
        EXPECT_EQ(declined.Status, decline.Status) << decline.Answer;
        EXPECT_EQ(Lines(declined.Out).size(), 1u);
        EXPECT_EQ(declined.Out.substr(0, 2), "2\t");
        EXPECT_NE(declined.Err.find("Vymazat vybranou zprávu, opravdu? [a/n] "), std::string::npos);
    }
    EXPECT_NE(Run({"delete", "1", "2"}).Err.find("Žádná odpověď, nic nebylo vymazáno."), std::string::npos);
    EXPECT_EQ(Lines(Run({"check", "1"}).Out).size(), 3u);

    const TCliResult deleted = Run({"delete", "1", "3", "1", "3"}, "Ano\n");
    ASSERT_EQ(deleted.Status, 0) << deleted.Err;
    EXPECT_EQ(Lines(deleted.Out).size(), 2u);
    EXPECT_NE(deleted.Err.find("Vymazat vybrané zprávy, opravdu? [a/n] "), std::string::npos);
    const auto left = Lines(Run({"check", "1"}).Out);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0].find("<multi@example.org>"), std::string::npos);
}

TEST_F(CliMailboxTest, DeleteWithYesAsksNothing)
{
    ASSERT_EQ(Run({"check", "1"}).Status, 0);
    const TCliResult deleted = Run({"--yes", "delete", "1", "1"});
    ASSERT_EQ(deleted.Status, 0) << deleted.Err;
    EXPECT_TRUE(deleted.Err.empty()) << deleted.Err;
    EXPECT_EQ(Lines(Run({"check", "1"}).Out).size(), 2u);
    EXPECT_EQ(Run({"--yes", "delete", "1", "7"}).Status, 1);
}

TEST_F(CliMailboxTest, TraceShowsTheDialogueWithThePasswordMasked)
{
    const TCliResult result = Run({"--trace", "check", "1"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    const auto trace = Lines(result.Err);
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(trace[0].substr(0, 8), "<-- +OK ");
    // The greeting offers APOP: the password itself never crosses the plain connection.
    EXPECT_TRUE(trace[1].starts_with("--> APOP " + Server.User() + " ")) << trace[1];
    EXPECT_EQ(trace[3], "--> CAPA");
    // The server pipelines: the whole batch of the check goes out before its first reply.
    const auto stat = std::find(trace.begin(), trace.end(), "--> STAT");
    ASSERT_GE(std::distance(stat, trace.end()), 9);
    EXPECT_EQ(std::vector<std::string>(stat + 2, stat + 9),
              (std::vector<std::string>{"--> UIDL", "--> TOP 1 0", "--> LIST 1", "--> TOP 2 0", "--> LIST 2",
                                        "--> TOP 3 0", "--> LIST 3"}));
    EXPECT_EQ(trace[trace.size() - 2], "--> QUIT");
    EXPECT_EQ(trace.back().substr(0, 7), "<-- +OK");
    EXPECT_EQ(result.Err.find(Server.Password()), std::string::npos);
    EXPECT_EQ(Lines(result.Out).size(), 3u);
}

TEST_F(CliTest, TraceShowsTheTlsSessionAndARefusedCertificateSaysWhy)
{
    PrivatePop3Server server(PrivatePop3Tls::Valid);
    server.AddMessages({Sample::Plain});
    {
        std::ofstream file(Accounts, std::ios::binary);
        file << "me@localhost\r\nstarttls://127.0.0.1\r\n" << server.User() << "\r\n" << server.Password()
             << "\r\n" << server.Port() << "\r\n";
    }
    setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
    const TCliResult trusted = Run({"--trace", "check", "1"});
    setenv("SSL_CERT_FILE", "/dev/null", 1);
    const TCliResult refused = Run({"--trace", "check", "1"});
    unsetenv("SSL_CERT_FILE");

    ASSERT_EQ(trusted.Status, 0) << trusted.Err;
    const auto trace = Lines(trusted.Err);
    ASSERT_GE(trace.size(), 5u);
    EXPECT_EQ(trace[1], "--> STLS");
    EXPECT_EQ(trace[2].substr(0, 8), "<-- +OK ");
    EXPECT_TRUE(trace[3].starts_with("=== TLS TLS 1.")) << trace[3];
    EXPECT_TRUE(trace[3].ends_with(", CN=Kormoran test server")) << trace[3];
    EXPECT_EQ(trace[4], "--> CAPA");
    EXPECT_NE(trusted.Err.find("--> AUTH PLAIN ********"), std::string::npos) << trusted.Err;
    EXPECT_EQ(trusted.Err.find("Varování"), std::string::npos) << "the password stayed on this machine";
    EXPECT_EQ(Lines(trusted.Out).size(), 1u);

    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("není důvěryhodný"), std::string::npos) << refused.Err;
    EXPECT_NE(refused.Err.find("SHA-256: "), std::string::npos) << refused.Err;
    EXPECT_EQ(refused.Err.find("--> USER"), std::string::npos) << refused.Err;
}

TEST_F(CliTest, ShowPutsTheVerdictAboveTheTextAndCheckShowsPreviewLines)
{
    PrivatePop3Server server;
    server.AddMessage("From: Banka <info@banka.cz>\r\nSubject: Faktura\r\n"
                      "Authentication-Results: mx.test; spf=pass smtp.mailfrom=banka.cz; dmarc=fail header.from=banka.cz\r\n"
                      "X-Spam-Status: Yes, score=8.2 required=5.0\r\n\r\n\r\nZaplatte ihned.\r\nDruhy radek\r\n");
    WriteAccounts(server, server.Password());
    const TCliResult shown = Run({"show", "1", "1"});
    EXPECT_EQ(shown.Status, 0) << shown.Err;
    EXPECT_TRUE(shown.Out.starts_with("Ověření: selhalo — Authentication-Results (mx.test): spf=pass, dmarc=fail\n"
                                      "Spam: ano 8.2 — X-Spam-Status: Yes, X-Spam-Status: 8.2\n"
                                      "Varování: Authentication-Results (mx.test): dmarc=fail"))
        << shown.Out;
    EXPECT_NE(shown.Out.find("\n\nZaplatte ihned."), std::string::npos) << shown.Out;

    const TCliResult checked = Run({"--lines", "1", "check", "1"});
    EXPECT_NE(checked.Status, 1) << checked.Err;
    EXPECT_TRUE(checked.Out.ends_with("\n\tZaplatte ihned.\n")) << checked.Out;
    const TCliResult json = Run({"check", "--json", "1"});
    EXPECT_TRUE(json.Out.ends_with(",\"auth\":\"failed\",\"spam\":true,\"score\":8.2,\"warnings\":[\"Authentication-Results "
                                   "(mx.test): dmarc=fail, doména banka.cz odesílatele nepotvrdila\"]}\n"))
        << json.Out;
}

TEST_F(CliMailboxTest, ARefusedLoginIsAnError)
{
    WriteAccounts(Server, "wrong");
    const TCliResult result = Run({"check", "1"});
    EXPECT_EQ(result.Status, 1);
    EXPECT_FALSE(result.Err.empty());
    EXPECT_TRUE(result.Out.empty());
}

// Scripted servers that misbehave: the command says why, exits 1, and nothing from the
// message drives the terminal.
TEST_F(CliTest, MisbehavingServersEndWithTheirReasonAndExitOne)
{
    using namespace std::chrono_literals;
    const std::string message = "Subject: one\r\nMessage-Id: <1@x>\r\n\r\n\x1b[2Jowned\x07\r\n";
    auto logsIn = [](ScriptedServer& server) -> ScriptedServer& {
        return server.Says("+OK ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("+OK");
    };
    auto checks = [&](ScriptedServer& server) -> ScriptedServer& {
        logsIn(server).Expects("CAPA").Says("-ERR unknown command").Expects("STAT").Says("+OK 1 40");
        server.Expects("UIDL").Says("-ERR unknown command").Expects("TOP 1 0").Says("+OK").Sends(Sample::OnTheWire(Sample::HeaderOf(message)));
        return server.Expects("LIST 1").Says("+OK 1 40").Expects("QUIT").Says("+OK");
    };
    struct Case {
        const char* Name;
        std::function<void(ScriptedServer&)> Script;
        std::vector<std::string> Args;
        int Status;
        std::string Shown;
        // Run first: a deletion by number needs the listing the user saw.
        std::vector<std::string> Before = {};
    };
    const std::vector<Case> cases = {
        {"QUIT after DELE refused",
         [&](ScriptedServer& s) {
             checks(s).AcceptsNext();
             checks(s).AcceptsNext();
             logsIn(s).Expects("CAPA").Says("-ERR unknown command");
             s.Expects("TOP 1 0").Says("+OK").Sends(Sample::OnTheWire(Sample::HeaderOf(message)));
             s.Expects("LIST 1").Says("+OK 1 40").Expects("DELE 1").Says("+OK");
             s.Expects("QUIT").Says("-ERR some deleted messages not removed");
         },
         {"--yes", "delete", "1", "1"}, 1, "some deleted messages not removed", {"check", "1"}},
        {"one deletion of two refused",
         [&](ScriptedServer& s) {
             auto checksTwo = [&](ScriptedServer& server) {
                 logsIn(server).Expects("CAPA").Says("-ERR unknown command").Expects("STAT").Says("+OK 2 80");
                 server.Expects("UIDL").Says("-ERR unknown command");
                 for (const char* n : {"1", "2"}) {
                     server.Expects(std::string("TOP ") + n + " 0").Says("+OK").Sends(Sample::OnTheWire(Sample::HeaderOf(message)));
                     server.Expects(std::string("LIST ") + n).Says("+OK 1 40");
                 }
                 server.Expects("QUIT").Says("+OK").AcceptsNext();
             };
             checksTwo(s);
             checksTwo(s);
             logsIn(s).Expects("CAPA").Says("-ERR unknown command");
             s.Expects("TOP 1 0").Says("+OK").Sends(Sample::OnTheWire(Sample::HeaderOf(message)));
             s.Expects("LIST 1").Says("+OK 1 40").Expects("DELE 1").Says("+OK");
             s.Expects("TOP 2 0").Says("+OK").Sends(Sample::OnTheWire(Sample::HeaderOf(message)));
             s.Expects("LIST 2").Says("+OK 1 40").Expects("DELE 2").Says("-ERR locked");
             s.Expects("QUIT").Says("+OK");
         },
         {"--yes", "delete", "1", "1", "2"}, 1, "Vymazány zprávy: 1\nNevymazány zprávy: 2\n locked", {"check", "1"}},
        {"silent server with --timeout",
         [&](ScriptedServer& s) { logsIn(s).Expects("CAPA").Stalls(6000ms); },
         {"--timeout", "1", "check", "1"}, 1, "Server neodpovídá: 127.0.0.1"},
        {"control characters in the message",
         [&](ScriptedServer& s) {
             checks(s).AcceptsNext();
             logsIn(s).Expects("TOP 1 0").Says("+OK").Sends(Sample::OnTheWire(Sample::HeaderOf(message)));
             s.Expects("LIST 1").Says("+OK 1 40").Expects("TOP 1 40").Says("+OK").Sends(Sample::OnTheWire(message));
             s.Expects("QUIT").Says("+OK");
         },
         {"show", "1", "1"}, 0, "\\x1b[2Jowned\\x07"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        ScriptedServer server;
        test.Script(server);
        const int port = server.Start();
        std::ofstream(Accounts, std::ios::binary | std::ios::trunc)
            << "joe@localhost\r\n127.0.0.1\r\njoe\r\nsecret\r\n" << port << "\r\n";
        if (!test.Before.empty())
            Run(test.Before);
        const auto started = std::chrono::steady_clock::now();
        const TCliResult result = Run(test.Args);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5000ms);
        EXPECT_EQ(result.Status, test.Status) << result.Err;
        EXPECT_NE((result.Out + result.Err).find(test.Shown), std::string::npos) << result.Out << result.Err;
        EXPECT_EQ((result.Out + result.Err).find('\x1b'), std::string::npos);
        server.Finish();
    }
}

// Trust on first use from the terminal, against a server whose certificate signed itself:
// refused, trusted, accepted; another certificate on the same account is refused loudly,
// and a pin file others could read is refused with its path.
TEST_F(CliTest, TrustPinsTheCertificateShownAndNothingElse)
{
    PrivatePop3Server first(PrivatePop3Tls::SelfSigned);
    PrivatePop3Server second(PrivatePop3Tls::SelfSigned);
    auto useServer = [&](const PrivatePop3Server& server) {
        std::ofstream file(Accounts, std::ios::binary);
        file << "me@localhost\r\npop3s://127.0.0.1\r\n" << server.User() << "\r\n" << server.Password() << "\r\n"
             << server.TlsPort() << "\r\n";
    };
    useServer(first);
    ::setenv("XDG_CONFIG_HOME", Directory.c_str(), 1);
    const std::string pins = Directory + "/kormoran/certificate-pins";

    const TCliResult refused = Run({"check", "1"});
    const TCliResult declined = Run({"trust", "1"}, "n\n");
    const bool pinnedAfterNo = ::access(pins.c_str(), F_OK) == 0;
    const TCliResult trusted = Run({"trust", "1"}, "a\n");
    const TCliResult accepted = Run({"check", "1"});
    useServer(second);
    const TCliResult changed = Run({"check", "1"});
    ::chmod(pins.c_str(), 0644);
    const TCliResult openPins = Run({"check", "1"});
    ::unsetenv("XDG_CONFIG_HOME");

    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("není důvěryhodný"), std::string::npos) << refused.Err;
    EXPECT_EQ(declined.Status, 1);
    EXPECT_FALSE(pinnedAfterNo);
    ASSERT_EQ(trusted.Status, 0) << trusted.Err;
    for (const char* shown : {"Subjekt: CN=Kormoran test server", "Vydavatel: CN=Kormoran test server", "Platnost: od ",
                              "SHA-256: "})
        EXPECT_NE(trusted.Err.find(shown), std::string::npos) << shown << "\n" << trusted.Err;
    const size_t at = trusted.Out.find("SHA-256 ");
    ASSERT_NE(at, std::string::npos) << trusted.Out;
    const std::string fingerprint = trusted.Out.substr(at + 8, 95);
    EXPECT_EQ(accepted.Status, 3) << "accepted, an empty mailbox: " << accepted.Err;
    EXPECT_EQ(changed.Status, 1);
    EXPECT_NE(changed.Err.find("POZOR"), std::string::npos) << changed.Err;
    EXPECT_NE(changed.Err.find(fingerprint), std::string::npos) << changed.Err;
    EXPECT_EQ(openPins.Status, 1);
    EXPECT_NE(openPins.Err.find(pins), std::string::npos) << openPins.Err;
}

// Without a keyring (the tests have no D-Bus session) the password stays in the file.
TEST_F(CliTest, AccountsAreAddedGivenPasswordsAndRemovedFromTheTerminal)
{
    const TCliResult gmail = Run({"add", "jana@gmail.com"});
    const TCliResult own = Run({"add", "x@example.org", "--security", "starttls", "--user", "xx"});
    const TCliResult password = Run({"password", "2"}, "tajne\n");
    const TCliResult noPop3 = Run({"add", "tim@icloud.com"});
    ASSERT_EQ(gmail.Status, 0) << gmail.Err;
    ASSERT_EQ(own.Status, 0) << own.Err;
    ASSERT_EQ(password.Status, 0) << password.Err;
    EXPECT_NE(password.Out.find("v souboru účtů"), std::string::npos) << password.Out;
    EXPECT_EQ(noPop3.Status, 1);
    EXPECT_NE(noPop3.Err.find("POP3 nenabízí"), std::string::npos) << noPop3.Err;
    EXPECT_EQ(Run({"accounts"}).Out, "1\tjana@gmail.com\tpop3s://pop.gmail.com\t995\tjana@gmail.com\n"
                                     "2\tx@example.org\tstarttls://example.org\t110\txx\n");

    const TCliResult removed = Run({"remove", "jana@gmail.com"});
    EXPECT_EQ(removed.Status, 0) << removed.Err;
    std::ifstream file(Accounts, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "x@example.org\r\nstarttls://example.org\r\nxx\r\ntajne\r\n110\r\n");
}

// What must never reach a server or a terminal: a password with a line end (refused
// before any connection), a password command that never ends (ended, with what it
// started), escape sequences in the account file.
TEST_F(CliTest, HostileInputFromOutsideIsStoppedBeforeItActs)
{
    std::ofstream(Accounts, std::ios::binary | std::ios::trunc)
        << "\x1b[2Jme@localhost\r\n127.0.0.1\r\njoe\r\nsecret\r\n1\r\n";
    const TCliResult listed = Run({"accounts"});
    EXPECT_EQ(listed.Out, "1\t\\x1b[2Jme@localhost\t127.0.0.1\t1\tjoe\n");

    ::setenv("KORMORAN_PASSWORD", "first\nSECOND", 1);
    const TCliResult lineEnd = Run({"check", "1"});
    ::unsetenv("KORMORAN_PASSWORD");
    EXPECT_EQ(lineEnd.Status, 1);
    EXPECT_EQ(lineEnd.Err, "Heslo obsahuje konec řádku nebo nulový znak; nic nebylo odesláno.\n");

    const std::string leftBehind = Temporary.File("pid");
    const auto started = std::chrono::steady_clock::now();
    try {
        PasswordFromCommand("sleep 30 & echo $! > " + leftBehind + "; sleep 30", 300);
        ADD_FAILURE();
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()).find("Příkaz pro heslo neskončil včas, byl ukončen: "), 0u);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    const pid_t helper = std::stoi(ReadBytes(leftBehind));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(::kill(helper, 0) == 0 && !IsZombie(helper), true) << "the helper the command started still runs";
}

// A message of ten thousand attachments from a real server is shown and saved with the
// descriptors of a tight limit: its attachment data costs one.
TEST_F(CliTest, TenThousandAttachmentsShowAndSaveUnderATightDescriptorLimit)
{
    std::string message = "From: a@example.org\r\nSubject: many\r\nMessage-Id: <many@example.org>\r\n"
                          "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nhi\r\n";
    for (int i = 0; i < 10000; ++i)
        message += "--b\r\nContent-Type: text/plain; name=f" + std::to_string(i) + ".txt\r\n\r\npart " +
                   std::to_string(i) + "\r\n";
    message += "--b--\r\n";
    PrivatePop3Server server;
    server.AddMessages({message});
    WriteAccounts(server, server.Password());
    rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit tight = before;
    tight.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const TCliResult shown = Run({"show", "1", "1"});
    const TCliResult saved = Run({"save", "1", "1", "10000", Temporary.File("last.txt")});
    ::setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_EQ(shown.Status, 0) << shown.Err;
    EXPECT_NE(shown.Out.find("http://localhost/f9999.txt/ID=10000 f9999.txt (text/plain; name=f9999.txt)"),
              std::string::npos);
    EXPECT_EQ(saved.Status, 0) << saved.Err;
    EXPECT_EQ(ReadBytes(Temporary.File("last.txt")), "part 9999\r\n");
}

TEST_F(CliMailboxTest, MessagesDeliveredBetweenTwoChecksAreExactlyTheNewOnes)
{
    const TCliResult first = Run({"check", "--new", "1"});
    EXPECT_EQ(first.Status, 0) << first.Err;
    EXPECT_EQ(Lines(first.Out).size(), 3u);
    EXPECT_EQ(Run({"check", "--new", "-q", "1"}).Status, 3);

    Server.AddMessages({Sample::TextPartsOnly, Sample::Uuencoded});
    const TCliResult second = Run({"check", "--json", "1"});
    EXPECT_EQ(second.Status, 0) << second.Err;
    const auto lines = Lines(second.Out);
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find(i < 3 ? "\"new\":false" : "\"new\":true"), std::string::npos) << lines[i];
    EXPECT_EQ(lines[0].rfind("{\"account\":\"me@localhost\",\"number\":1,\"uid\":\"", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(",\"date\":\"2023-03-15T13:05:09+01:00\",\"size\":" + std::to_string(Sample::Plain.size())
                            + ",\"from\":\"jiri@example.cz\",\"to\":\"Anna <anna@example.org>, bob@example.org\","
                              "\"subject\":\"Příprava\",\"id\":\"<plain@example.org>\","
                              "\"auth\":\"none\",\"spam\":null,\"score\":null,\"warnings\":[]}"),
              std::string::npos)
        << lines[0];
    EXPECT_EQ(Run({"check", "--new", "1"}).Out, "");
}

TEST_F(CliMailboxTest, ADeletionByNumberActsOnlyOnTheMessageTheLastCheckListed)
{
    // Numbers nobody has seen are not taken.
    const TCliResult unseen = Run({"--yes", "delete", "1", "1"});
    EXPECT_EQ(unseen.Status, 1);
    EXPECT_NE(unseen.Err.find("nebyla zkontrolována"), std::string::npos) << unseen.Err;
    const auto listed = Lines(Run({"check", "1"}).Out);
    ASSERT_EQ(listed.size(), 3u);
    const std::string secondId = listed[1].substr(listed[1].rfind('\t') + 1);
    // Another client deletes message 1: message 2 of the listing is message 1 now.
    const TCliResult outside = Run({"--yes", "delete", "1", "1"});
    ASSERT_EQ(outside.Status, 0) << outside.Err;

    const TCliResult shifted = Run({"--yes", "delete", "1", "2"});
    EXPECT_EQ(shifted.Status, 1);
    EXPECT_NE(shifted.Err.find("Zpráva 2 už není ta, kterou vypsala poslední kontrola (" + secondId + ")"),
              std::string::npos)
        << shifted.Err;
    EXPECT_NE(shifted.Err.find("Ta je teď zprávou 1."), std::string::npos) << shifted.Err;
    EXPECT_EQ(Lines(Run({"check", "1"}).Out).size(), 2u);

    const TCliResult byId = Run({"--yes", "delete", "1", "--uid", secondId});
    EXPECT_EQ(byId.Status, 0) << byId.Err;
    const auto left = Lines(Run({"check", "1"}).Out);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0].find("Faktura"), std::string::npos);
    EXPECT_EQ(Run({"--yes", "delete", "1", "--uid", secondId}).Status, 1);
}

TEST_F(CliMailboxTest, CheckWithoutAnAccountChecksEveryOneAndReportsTheFailingOne)
{
    PrivatePop3Server other("druhy", "heslo2");
    other.AddMessage(Sample::Plain);
    std::ofstream(Accounts, std::ios::binary | std::ios::app)
        << "other@localhost\r\n127.0.0.1\r\ndruhy\r\nheslo2\r\n" << other.Port() << "\r\n";
    const TCliResult result = Run({"check", "--json"});
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find("nobody@localhost: Socket Error"), std::string::npos) << result.Err;
    const auto lines = Lines(result.Out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].rfind("{\"account\":\"me@localhost\",\"number\":3,", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("{\"account\":\"other@localhost\",\"number\":1,", 0), 0u) << lines[3];
    // The failing account stops nothing; the others have nothing new the second time.
    EXPECT_EQ(Run({"check", "-q", "me@localhost"}).Status, 3);
}
