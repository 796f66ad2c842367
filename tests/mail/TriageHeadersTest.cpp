// What the header block says before a download: Authentication-Results (RFC 8601), the
// spam filter's headers, and the first lines of the body. The samples follow the shapes
// large providers and SpamAssassin write, and the examples of RFC 8601, Appendix B.
#include "IdAuthenticationResults.h"
#include "IdCharset.h"
#include "IdMessagePreview.h"
#include "IdSpamHeaders.h"

#include <gtest/gtest.h>

namespace {

// "authserv-id | method=result name=value ...; ..." or "unreadable".
std::string Describe(const TIdAuthenticationResults& parsed)
{
    if (!parsed.Valid)
        return "unreadable";
    std::string text = parsed.AuthServId + " |";
    for (const auto& result : parsed.Results) {
        text += " " + result.Method + "=" + result.Result;
        if (!result.Reason.empty())
            text += " reason=" + result.Reason;
        for (const auto& property : result.Properties)
            text += " " + property.Name + "=" + property.Value;
        text += ";";
    }
    return text;
}

struct AuthCase {
    const char* Name;
    std::string Value;
    std::string Expected;
};

TEST(ParseAuthenticationResults, ReadsTheShapesServersWrite)
{
    const AuthCase cases[] = {
        {"RFC 8601 B.2, nothing checked", "example.org 1; none", "example.org |"},
        {"RFC 8601 B.3, SPF", "example.com; spf=pass smtp.mailfrom=example.net",
         "example.com | spf=pass smtp.mailfrom=example.net;"},
        {"RFC 8601 B.4, auth and SPF", "example.com;\r\n   auth=pass (cram-md5) smtp.auth=sender@example.net;\r\n"
                                        "   spf=pass smtp.mailfrom=example.net",
         "example.com | auth=pass smtp.auth=sender@example.net; spf=pass smtp.mailfrom=example.net;"},
        {"RFC 8601 B.5, two DKIM signatures", "example.com;\r\n   dkim=pass (good signature) header.d=mail-router.example.net;"
                                              "\r\n   dkim=fail (bad signature) header.d=newyork.example.com",
         "example.com | dkim=pass header.d=mail-router.example.net; dkim=fail header.d=newyork.example.com;"},
        {"RFC 8601 B.6, quoted reasons", "example.com; dkim=pass reason=\"good signature\" header.i=@mail-router.example.net;"
                                         " dkim=fail reason=\"bad signature\" header.i=@newyork.example.com",
         "example.com | dkim=pass reason=good signature header.i=@mail-router.example.net;"
         " dkim=fail reason=bad signature header.i=@newyork.example.com;"},
        {"RFC 8601 B.7, comments everywhere",
         "foo.example.net (foobar) 1 (baz);\r\n    dkim (Because I like it) / 1 (One yay) = (wait for it) fail\r\n"
         "      policy (A dot can go here) . (like that) expired\r\n      (this surprised me) = (as I wasn't expecting it) 1362471462",
         "foo.example.net | dkim=fail policy.expired=1362471462;"},
        {"webmail giant", "mx.google.com;\r\n       dkim=pass header.i=@example.com header.s=20230601 header.b=Ab+cd/E1;\r\n"
                          "       spf=pass (google.com: domain of news@example.com designates 209.85.220.41 as permitted sender)"
                          " smtp.mailfrom=news@example.com;\r\n       dmarc=pass (p=REJECT sp=REJECT dis=NONE) header.from=example.com",
         "mx.google.com | dkim=pass header.i=@example.com header.s=20230601 header.b=Ab+cd/E1;"
         " spf=pass smtp.mailfrom=news@example.com; dmarc=pass header.from=example.com;"},
        {"office suite without an authserv-id",
         "spf=pass (sender IP is 40.107.1.2) smtp.mailfrom=example.com; dkim=pass (signature was verified)"
         " header.d=example.com;dmarc=pass action=none header.from=example.com;compauth=pass reason=100",
         " | spf=pass smtp.mailfrom=example.com; dkim=pass header.d=example.com;"
         " dmarc=pass action=none header.from=example.com; compauth=pass reason=100;"},
        {"comment glued to the result, trailing semicolon",
         "atlas.mail.example; dkim=pass header.i=@example.com header.s=s1; dmarc=pass(p=REJECT) header.from=example.com;",
         "atlas.mail.example | dkim=pass header.i=@example.com header.s=s1; dmarc=pass header.from=example.com;"},
        {"quoted local part and quoted authserv-id", "\"mx; one\"; spf=fail smtp.mailfrom=\"a b\"@example.com",
         "mx; one | spf=fail smtp.mailfrom=a b@example.com;"},
        {"upper-case keywords", "MX.EXAMPLE; DMARC=FAIL Header.From=Bank.Example",
         "MX.EXAMPLE | dmarc=fail header.from=Bank.Example;"},
        {"empty", "", "unreadable"},
        {"only a semicolon", ";", "unreadable"},
        {"no semicolon before the result", "example.com dkim=pass", "unreadable"},
        {"a method without a result", "example.com; dkim", "unreadable"},
        {"a result without a method", "example.com; =pass", "unreadable"},
        {"a comment that never closes", "example.com; dkim=pass (good signature header.d=example.com", "unreadable"},
        {"nested comments that never close", "example.com; dmarc=pass ((((((((", "unreadable"},
        {"a quoted string that never closes", "example.com; dkim=pass reason=\"good", "unreadable"},
        {"a property without a value sign", "example.com; dkim=pass header.d example.com", "unreadable"},
        {"a version that is no number", "example.com v1; spf=pass", "unreadable"},
    };
    for (const AuthCase& c : cases)
        EXPECT_EQ(Describe(ParseAuthenticationResults(c.Value)), c.Expected) << c.Name;
}

TEST(ParseAuthenticationResults, HugeAndRepeatedHeadersEndInBoundedTime)
{
    std::string many = "mx.example";
    for (int i = 0; i < 5000; ++i)
        many += "; dkim=pass header.d=example.com";
    EXPECT_FALSE(ParseAuthenticationResults(many).Valid);
    EXPECT_FALSE(ParseAuthenticationResults(std::string(1 << 20, '(')).Valid);
    EXPECT_FALSE(ParseAuthenticationResults("mx; spf=pass (" + std::string(1 << 20, '\\')).Valid);
    EXPECT_FALSE(ParseAuthenticationResults("mx; spf=pass (\\").Valid);
}

TIdHeaderList Headers(std::initializer_list<const char*> lines)
{
    TIdHeaderList headers;
    for (const char* line : lines)
        headers.Add(line);
    return headers;
}

struct SpamCase {
    const char* Name;
    TIdHeaderList Headers;
    std::string Expected;
};

std::string Describe(const TIdSpamReport& report)
{
    std::string text = report.Flagged ? (*report.Flagged ? "yes(" : "no(") + report.FlagHeader + ")" : "-";
    text += report.Score ? " " + std::to_string(*report.Score).substr(0, 5) + "(" + report.ScoreHeader + ")" : " -";
    return text;
}

TEST(ReadSpamHeaders, ReadsFlagAndScoreFromTheTopmostHeaders)
{
    const SpamCase cases[] = {
        {"filter marks spam",
         Headers({"X-Spam-Flag: YES", "X-Spam-Status: Yes, score=7.3 required=5.0 tests=BAYES_99,HTML_MESSAGE,",
                  "\tRDNS_NONE autolearn=no autolearn_force=no version=3.4.6", "X-Spam-Level: *******"}),
         "yes(X-Spam-Flag) 7.300(X-Spam-Status)"},
        {"filter lets it pass", Headers({"X-Spam-Status: No, score=-1.9 required=5.0 tests=DKIM_SIGNED autolearn=ham"}),
         "no(X-Spam-Status) -1.90(X-Spam-Status)"},
        {"sender's own lower header does not count",
         Headers({"X-Spam-Flag: YES", "Received: from x", "X-Spam-Flag: NO"}), "yes(X-Spam-Flag) -"},
        {"score alone", Headers({"X-Spam-Score: +3.2"}), "- 3.200(X-Spam-Score)"},
        {"score with stars", Headers({"X-Spam-Score: 12.5 (++++++++++++)"}), "- 12.50(X-Spam-Score)"},
        {"stars alone", Headers({"X-Spam-Level: ****"}), "- 4.000(X-Spam-Level)"},
        {"hits instead of score", Headers({"X-Spam-Status: Yes, hits=9.1 required=5.0"}), "yes(X-Spam-Status) 9.100(X-Spam-Status)"},
        {"score that is no number", Headers({"X-Spam-Score: high", "X-Spam-Status: Yes, score=abc"}), "yes(X-Spam-Status) -"},
        {"score not finite or absurd", Headers({"X-Spam-Score: nan"}), "- -"},
        {"score out of range", Headers({"X-Spam-Score: 1e400"}), "- -"},
        {"score glued to letters", Headers({"X-Spam-Score: 5points"}), "- -"},
        {"flag that is neither", Headers({"X-Spam-Flag: maybe", "X-Spam-Level: **x"}), "- -"},
        {"no spam headers", Headers({"Subject: hi"}), "- -"},
    };
    for (const SpamCase& c : cases)
        EXPECT_EQ(Describe(ReadSpamHeaders(c.Headers)), c.Expected) << c.Name;
}

struct PreviewCase {
    const char* Name;
    TIdHeaderList Headers;
    std::vector<std::string> Body;
    size_t Count;
    std::vector<std::string> Expected;
};

TEST(MessagePreview, DecodesTheFirstTextPartAsFarAsTheLinesGo)
{
    const PreviewCase cases[] = {
        {"plain text, blank lines skipped", Headers({"Subject: x"}), {"", "Hello,", "", "..dotted", "third"}, 2,
         {"Hello,", ".dotted"}},
        {"quoted-printable in its charset",
         Headers({"Content-Type: text/plain; charset=iso-8859-2", "Content-Transfer-Encoding: quoted-printable"}),
         {"Dobr=FD den, p=F8=EDloha je=", " v=A0po=E8=EDta=E8i."}, 3, {"Dobrý den, příloha je v\u00a0počítači."}},
        {"base64 cut inside a quantum",
         Headers({"Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: base64"}),
         {"xb5sdcWlb3XEjWvDvSBrxa/FiA", "=="}, 1, {"žluťoučký kůň"}},
        {"multipart: the first text part, not the preamble",
         Headers({"Content-Type: multipart/alternative; boundary=\"b1\""}),
         {"This is a multi-part message in MIME format.", "--b1", "Content-Type: text/plain; charset=utf-8",
          "Content-Transfer-Encoding: 8bit", "", "Zaplaťte fakturu", "--b1", "Content-Type: text/html", "", "<p>x</p>"},
         2, {"Zaplaťte fakturu"}},
        {"multipart cut inside the part header", Headers({"Content-Type: multipart/mixed; boundary=b2"}),
         {"--b2", "Content-Type: text/pl"}, 2, {}},
        {"nothing asked for", Headers({}), {"text"}, 0, {}},
    };
    for (const PreviewCase& c : cases)
        EXPECT_EQ(MessagePreview(c.Headers, c.Body, c.Count), c.Expected) << c.Name;
}

TEST(MessagePreview, MultibyteCharacterCutByTheLastLineStaysValidText)
{
    // "Příliš" in UTF-8, base64 of its bytes cut after the first byte of "ř".
    const auto preview = MessagePreview(
        Headers({"Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: base64"}), {"UMU="}, 1);
    ASSERT_EQ(preview.size(), 1u);
    EXPECT_TRUE(IsValidUtf8(preview[0]));
    EXPECT_TRUE(preview[0].starts_with("P"));
}

} // namespace
