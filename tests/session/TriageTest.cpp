// Looking at a message before it is downloaded, and downloading it without the server
// taking it for read: the verdicts of the header block, the sender lists, the preview
// lines of a check, and TOP with all lines in place of RETR.
#include "FileLocations.h"
#include "PrivatePop3Server.h"
#include "SenderLists.h"
#include "SessionDialogue.h"
#include "TemporaryDirectory.h"

#include <filesystem>

using namespace Dialogue;

namespace {

TVerdict VerdictOf(const std::string& headerLines)
{
    TIdMessage message;
    size_t start = 0;
    for (size_t end = headerLines.find('\n'); end != std::string::npos; end = headerLines.find('\n', start)) {
        message.RawHeaders.Add(headerLines.substr(start, end - start));
        start = end + 1;
    }
    message.ApplyHeaders();
    return JudgeMessage(message);
}

struct VerdictCase {
    const char* Name;
    std::string Headers;
    std::string Auth;
    std::string Spam;
    std::vector<std::string> Lines;
};

TEST(JudgeMessage, SaysWhatTheHeadersSayAndWhichHeaderSaidIt)
{
    const std::string bank = "From: Banka <info@banka.cz>\n";
    const VerdictCase cases[] = {
        {"dmarc pass", bank + "Authentication-Results: mx.seznam.cz; spf=pass smtp.mailfrom=banka.cz; "
                              "dkim=pass header.d=banka.cz; dmarc=pass header.from=banka.cz\n",
         "ověřeno", "",
         {"Ověření: ověřeno — Authentication-Results (mx.seznam.cz): spf=pass, dkim=pass (banka.cz), dmarc=pass"}},
        {"dkim pass of a parent domain", "From: x@news.banka.cz\nAuthentication-Results: mx; dkim=pass header.i=@banka.cz\n",
         "ověřeno", "", {"Ověření: ověřeno — Authentication-Results (mx): dkim=pass (banka.cz)"}},
        {"dkim pass of another domain only", bank + "Authentication-Results: mx; dkim=pass header.d=mailer.example\n",
         "–", "", {"Ověření: – — Authentication-Results (mx): dkim=pass (mailer.example)"}},
        {"dmarc pass for another domain", bank + "Authentication-Results: mx; dmarc=pass header.from=evil.example\n",
         "–", "", {"Ověření: – — Authentication-Results (mx): dmarc=pass"}},
        {"spf fail without dkim", bank + "Authentication-Results: mx; spf=fail smtp.mailfrom=banka.cz\n", "selhalo", "",
         {"Ověření: selhalo — Authentication-Results (mx): spf=fail"}},
        {"spf fail rescued by dkim", bank + "Authentication-Results: mx; spf=fail; dkim=pass header.d=banka.cz\n",
         "ověřeno", "", {"Ověření: ověřeno — Authentication-Results (mx): spf=fail, dkim=pass (banka.cz)"}},
        {"only the topmost header counts",
         bank + "Authentication-Results: mx.provider.cz; dmarc=fail header.from=banka.cz\n"
                "Received: from somewhere\nAuthentication-Results: mx.provider.cz; dmarc=pass\n",
         "selhalo", "",
         {"Ověření: selhalo — Authentication-Results (mx.provider.cz): dmarc=fail",
          "Varování: Authentication-Results (mx.provider.cz): dmarc=fail, doména banka.cz odesílatele nepotvrdila"}},
        {"a malformed header is never a pass", bank + "Authentication-Results: mx; dmarc=pass (unclosed\n", "–", "",
         {"Ověření: – — Authentication-Results nelze přečíst"}},
        {"spam flag and score", bank + "X-Spam-Flag: YES\nX-Spam-Status: Yes, score=7.3 required=5.0\n", "–", "ano 7.3",
         {"Spam: ano 7.3 — X-Spam-Flag: YES, X-Spam-Status: 7.3"}},
        {"address in the display name",
         "From: \"service@paypal.com\" <x@evil.example>\nReply-To: y@evil.example\n", "–", "",
         {"Varování: From: zobrazované jméno obsahuje adresu service@paypal.com, zpráva je ale od x@evil.example"}},
        {"its own address in the display name is fine", "From: \"info@banka.cz\" <INFO@banka.cz>\n", "–", "", {}},
        {"reply-to elsewhere", bank + "Reply-To: Banka <podpora@banka-overeni.example>\n", "–", "",
         {"Varování: Reply-To: odpovědi půjdou do domény banka-overeni.example, odesílatel (From) je z domény banka.cz"}},
        {"punycode domain", "From: info@xn--bnka-7na.cz\n", "–", "",
         {"Varování: From: doména xn--bnka-7na.cz je zapsána v punycode (xn--) a může napodobovat jinou"}},
        {"latin and cyrillic in one domain", "From: info@b\xD0\xB0nka.cz\n", "–", "",
         {"Varování: From: doména b\xD0\xB0nka.cz míchá písmena různých abeced"}},
        {"czech letters are one script", "From: info@\xC5\xBElutou\xC4\x8Dk\xC3\xBD.cz\n", "–", "", {}},
        {"nothing to say", "From: a@b.cz\nSubject: hi\n", "–", "", {}},
    };
    for (const VerdictCase& c : cases) {
        const TVerdict verdict = VerdictOf(c.Headers);
        EXPECT_EQ(verdict.AuthText(), c.Auth) << c.Name;
        EXPECT_EQ(verdict.SpamText(), c.Spam) << c.Name;
        EXPECT_EQ(verdict.Lines(), c.Lines) << c.Name;
    }
}

TEST(SenderLists, KeepTrustAndSuspicionByAddressAndDomainAcrossLoads)
{
    TTemporaryDirectory directory;
    const std::string path = directory.Path() + "/config/senders.txt";
    TSenderLists lists = TSenderLists::Load(path);
    lists.Set("Boss@Firma.cz", ssAllowed);
    lists.Set(DomainEntry("x@firma.cz"), ssSuspicious);
    lists.Set("@spam.example", ssAllowed);
    lists.Set("@spam.example", ssSuspicious);  // taken off the other list
    lists.Set("line\nbreak@x", ssSuspicious);   // never written as two lines
    lists.Save(path);
    const TSenderLists loaded = TSenderLists::Load(path);
    EXPECT_EQ(loaded.StandingOf("boss@firma.cz"), ssAllowed);
    EXPECT_EQ(loaded.StandingOf("other@FIRMA.cz"), ssSuspicious);
    EXPECT_EQ(loaded.StandingOf("a@spam.example"), ssSuspicious);
    EXPECT_EQ(loaded.StandingOf("a@elsewhere.cz"), ssUnlisted);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    TVerdict spam;
    spam.Spam = true;
    EXPECT_TRUE(CountsAsSuspicious(spam, ssUnlisted));
    EXPECT_FALSE(CountsAsSuspicious(spam, ssAllowed));
    EXPECT_TRUE(CountsAsSuspicious(TVerdict(), ssSuspicious));
    EXPECT_FALSE(CountsAsSuspicious(TVerdict(), ssUnlisted));
}

class TriageTest : public SessionTest {
protected:
    void TearDown() override
    {
        SetPreviewLines(0);
        SetDownloadWithRetr(false);
        SessionTest::TearDown();
    }
};

TEST_F(TriageTest, ACheckWithPreviewLinesAsksTopWithThemAndDecodesThem)
{
    const std::string message = "Subject: x\r\nContent-Type: text/plain; charset=iso-8859-2\r\n"
                                "Content-Transfer-Encoding: quoted-printable\r\n\r\nDobr=FD den,\r\n\r\nfaktura\r\n";
    ScriptedServer server;
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK 1 100").Expects("UIDL").Says("-ERR unknown command");
    // This server ignores the line count and sends the whole message.
    server.Expects("TOP 1 " + std::to_string(2 + PreviewExtraLines)).Says("+OK").Sends(OnTheWire(message + "dalsi\r\n..tecka\r\n"));
    server.Expects("LIST 1").Says("+OK 1 100").Expects("QUIT").Says("+OK");
    SetPreviewLines(2);
    CheckMailbox(CreateSession(Account(server.Start())));
    ASSERT_EQ(HeaderRecords().size(), 1u);
    EXPECT_EQ(HeaderRecords()[0]->Preview, (std::vector<std::string>{"Dobrý den,", "faktura"}));
    EXPECT_EQ(HeaderRecords()[0]->SubjectText(), "x");
}

TEST_F(TriageTest, ADownloadShorterThanListSaidIsFetchedAgainWithRetrAndSaysSo)
{
    const std::string message = Sample::Plain;
    ScriptedServer server;
    Check(server, {message}).Says("+OK").AcceptsNext();
    Login(server);
    // A server that gives at most one body line for TOP.
    Headers(server, 1, message).Expects(DownloadCommand(1, message)).Says("+OK")
        .Sends(OnTheWire(HeaderOf(message) + "\r\nAhoj,\r\n"));
    server.Expects("RETR 1").Says("+OK").Sends(OnTheWire(message)).Expects("QUIT").Says("+OK");
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto record = HeaderRecords()[0];
    record->Download();
    EXPECT_NE(record->DownloadNote().find("RETR"), std::string::npos);
    EXPECT_NE(record->GetText().find("konec"), std::string::npos);
}

std::vector<std::string> MaildirNames(const std::string& directory)
{
    std::vector<std::string> names;
    for (const char* sub : {"/cur", "/new"})
        for (const auto& entry : std::filesystem::directory_iterator(directory + sub))
            names.push_back(entry.path().filename().string());
    return names;
}

bool MarkedSeen(const std::string& name)
{
    const size_t info = name.find(":2,");
    return info != std::string::npos && name.find('S', info) != std::string::npos;
}

// A real server marks a message read for RETR and not for TOP; what TOP brings is the
// same message as what RETR brings.
TEST_F(TriageTest, ADownloadLeavesTheMessageUnreadOnARealServerAndMatchesRetr)
{
    PrivatePop3Server server;
    server.AddMessages({Sample::Multipart, Sample::Plain});
    TPOP3Rec account = Account(server.Port());
    account.User = server.User();
    account.Password = server.Password();
    CheckMailbox(CreateSession(account));
    HeaderRecords()[0]->Download();
    EXPECT_TRUE(HeaderRecords()[0]->DownloadNote().empty());
    const std::string byTop = HeaderRecords()[0]->GetText();
    CloseOpenSessions();
    for (const std::string& name : MaildirNames(server.MaildirPath()))
        EXPECT_FALSE(MarkedSeen(name)) << name;

    SetDownloadWithRetr(true);
    CheckMailbox(CreateSession(account));
    HeaderRecords()[0]->Download();
    EXPECT_EQ(HeaderRecords()[0]->GetText(), byTop);
    CloseOpenSessions();
    // The same server does mark what RETR fetched: the test sees the flag when it is there.
    int seen = 0;
    for (const std::string& name : MaildirNames(server.MaildirPath()))
        seen += MarkedSeen(name) ? 1 : 0;
    EXPECT_EQ(seen, 1);
}

} // namespace
