// What an OAuth2 sign-in reads from the outside: the token endpoint's JSON, URLs, and the
// one redirect the loopback listener takes from the browser.
#include "IdException.h"
#include "IdHTTP.h"
#include "IdJSON.h"
#include "IdRedirectListener.h"
#include "LoopbackHttp.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

TEST(Json, TokenAnswersGiveTheirTopLevelValuesAndNothingElse)
{
    const auto members = ParseJsonObject(R"( {"access_token":"eyJ.a\/b","expires_in":3599,"ext":{"a":[1,{"b":"c"}]},
        "refresh_token":"M.R3_\u00e1\ud83d\ude00","token_type":"Bearer","id_token":null,"ok":true,"access_token":"second","zero":-0.5e0,"ext":"later"} )");
    ASSERT_TRUE(members);
    EXPECT_EQ(members->at("access_token"), "eyJ.a/b") << "the first occurrence wins";
    EXPECT_EQ(members->at("expires_in"), "3599");
    EXPECT_EQ(members->at("refresh_token"), "M.R3_á😀");
    EXPECT_EQ(members->at("id_token"), "null");
    EXPECT_EQ(members->at("zero"), "-0.5e0");
    EXPECT_EQ(members->count("ext"), 0U) << "nested values are walked over, and their names stand";
    EXPECT_EQ(members->count("b"), 0U);
}

TEST(Json, AnythingButOneWellFormedObjectGivesNothing)
{
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const char* const cases[] = {
        "", "null", "[]", "\"text\"", "<html><body>Sign in</body></html>", "{\"a\":\"b\"", "{\"a\":\"b\"} trailing",
        "{\"a\":'b'}", "{\"a\":01x}", "{\"a\":01}", "{\"a\":-00.5}", "{\"a\":\"\\ud800\"}", "{\"a\":\"\\x\"}",
        "{\"a\":\"line\nbreak\"}", "{a:1}",
        "{\"a\":1,}", "{\"a\" 1}", "{\"a\":-}", "{\"a\":1.}", "{\"a\":nul}",
    };
    for (const char* text : cases)
        EXPECT_FALSE(ParseJsonObject(text)) << text;
    EXPECT_FALSE(ParseJsonObject("{\"a\":" + deep + "}")) << "nesting deeper than the limit";
    std::string many = "{";
    for (size_t i = 0; i <= MaxJsonMembers; ++i)
        many += (i ? ",\"" : "\"") + std::to_string(i) + "\":1";
    EXPECT_FALSE(ParseJsonObject(many + "}"));
}

TEST(HttpUrl, OnlyHttpAndHttpsWithAHostAndAPortInRange)
{
    const auto url = ParseHttpUrl("HTTPS://[::1]:8443/token?x=1#frag");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->Scheme, "https");
    EXPECT_EQ(url->Host, "::1");
    EXPECT_EQ(url->Port, 8443);
    EXPECT_EQ(url->Target, "/token?x=1");
    EXPECT_EQ(ParseHttpUrl("https://login.example.org")->Target, "/");
    EXPECT_EQ(ParseHttpUrl("http://127.0.0.1?a=b")->Target, "/?a=b");
    for (const char* bad : {"ftp://host/", "https://", "https://user@host/", "https://host:0/", "https://host:65536/",
                            "https://host:8x/", "https://ho st/", "https://host/a\r\nX: y", "login.example.org/token"})
        EXPECT_FALSE(ParseHttpUrl(bad)) << bad;
}

TEST(HttpClient, PlainHttpGoesToTheLoopbackOnly)
{
    TIdHTTP http;
    try {
        http.PostForm("http://login.example.org/token", {{"a", "b"}});
        FAIL() << "no exception";
    } catch (const EIdHTTPError& failure) {
        EXPECT_EQ(failure.Message, "Adresa http://login.example.org/token není šifrovaná (http); potřebuji https.");
    }
}

TEST(HttpClient, AnswersAreReadWhicheverWayTheyEndAndHostileOnesAreCutShort)
{
    const std::string big(TIdHTTP::MaxBodyBytes + 1, 'x');
    struct Case {
        const char* name;
        std::string answer; // what the server sends after the request line; it then closes
        std::string body;   // or, with failure set, a piece of the failure's text
        bool failure = false;
    };
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: 7\r\n\r\n{\"a\":1}", "{\"a\":1}"},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\n{\"a\r\n4;x=y\r\n\":1}\r\n0\r\nX-Trailer: 1\r\n\r\n",
         "{\"a\":1}"},
        {"until the close", "HTTP/1.0 400 Bad Request\r\n\r\n<html>no</html>", "<html>no</html>"},
        {"not HTTP", "SSH-2.0-OpenSSH_9.2\r\n\r\n", "neodpovídá protokolem HTTP", true},
        {"length too long", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\n", "příliš dlouhou odpověď", true},
        {"body too long", "HTTP/1.1 200 OK\r\n\r\n" + big, "příliš dlouhou odpověď", true},
        {"chunk too long", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffff\r\n", "příliš dlouhou odpověď", true},
        {"header line too long", "HTTP/1.1 200 OK\r\nX: " + std::string(10000, 'h') + "\r\n\r\n", "příliš dlouhý řádek", true},
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n{\"a\"", "ukončil spojení", true},
        {"silent", "", "neodpověděl do 0 s", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        server.Expects("POST /token HTTP/1.1");
        if (c.answer.empty())
            server.Stalls(2000ms);
        else
            server.Sends(c.answer).Closes();
        TIdHTTP http;
        http.ReadTimeout = 300;
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Start()) + "/token";
        try {
            const TIdHTTPResponse answer = http.PostForm(url, {{"grant_type", "refresh_token"}});
            EXPECT_FALSE(c.failure);
            EXPECT_EQ(answer.Body, c.body);
        } catch (const EIdHTTPError& failure) {
            EXPECT_TRUE(c.failure) << failure.Message;
            EXPECT_NE(failure.Message.find(c.body), std::string::npos) << failure.Message;
        }
        server.Finish();
        if (std::string(c.name) == "length") {
            const std::string sent = server.ReceivedBytes();
            EXPECT_NE(sent.find("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 24\r\n\r\n"
                                "grant_type=refresh_token"),
                      std::string::npos)
                << sent;
        }
    }
}

TEST(FormCoding, RoundTripsEveryByte)
{
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes += static_cast<char>(c);
    const auto fields = DecodeForm(EncodeForm({{"a b", bytes}, {"code", "x=y&z"}}));
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->size(), 2U);
    EXPECT_EQ((*fields)[0], (std::pair<std::string, std::string>{"a b", bytes}));
    EXPECT_EQ((*fields)[1].second, "x=y&z");
    EXPECT_FALSE(DecodeForm("code=%4"));
    EXPECT_FALSE(DecodeForm("code=%zz"));
}

// ---- The loopback listener

std::string Target(TIdRedirectListener& listener, std::chrono::milliseconds timeout = 10s,
                   std::function<void()> whileWaiting = {})
{
    return listener.Await(timeout, whileWaiting, [](const std::string&) { return std::string("<p>hotovo</p>"); });
}

TEST(RedirectListener, TakesOneRedirectOnAPortOfItsOwnAndAnswersWithThePage)
{
    TIdRedirectListener listener;
    EXPECT_GT(listener.Port(), 0);
    EXPECT_EQ(listener.RedirectUri(), "http://127.0.0.1:" + std::to_string(listener.Port()) + "/");
    auto browser = std::async(std::launch::async, [&] {
        return LoopbackHttpRequest("GET", listener.RedirectUri() + "?code=abc&state=xyz");
    });
    EXPECT_EQ(Target(listener), "/?code=abc&state=xyz");
    const LoopbackHttpAnswer answer = browser.get();
    EXPECT_EQ(answer.Status, 200);
    EXPECT_EQ(answer.Body, "<p>hotovo</p>");
    EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_THROW(LoopbackHttpRequest("GET", listener.RedirectUri(), "", 2000), std::runtime_error)
        << "nobody listens after the one redirect";
}

TEST(RedirectListener, StrangersOddRequestsAndSilentConnectionsDoNotTakeThePlaceOfTheRedirect)
{
    TIdRedirectListener listener;
    const std::string base = "http://127.0.0.1:" + std::to_string(listener.Port());
    auto others = std::async(std::launch::async, [&] {
        // A browser's spare connection that never says anything.
        const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(listener.Port()));
        ::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address);
        std::vector<int> statuses;
        try {
            LoopbackHttpRequest("GET", base + "/?code=stolen&state=x", "", 2000, "127.0.0.2");
            statuses.push_back(-1);
        } catch (const std::runtime_error&) {
            statuses.push_back(0); // closed unanswered
        }
        statuses.push_back(LoopbackHttpRequest("GET", base + "/favicon.ico").Status);
        statuses.push_back(LoopbackHttpRequest("POST", base + "/?code=posted", "a=b").Status);
        statuses.push_back(LoopbackHttpRequest("GET", base + "/?" + std::string(20000, 'x')).Status);
        statuses.push_back(LoopbackHttpRequest("GET", base + "/?code=right&state=s").Status);
        ::close(silent);
        return statuses;
    });
    EXPECT_EQ(Target(listener), "/?code=right&state=s");
    EXPECT_EQ(others.get(), (std::vector<int>{0, 404, 400, 400, 200}));
}

TEST(RedirectListener, GivesUpAfterItsTimeOutAndWhenTheWaitIsCancelled)
{
    TIdRedirectListener waiting;
    try {
        Target(waiting, 200ms);
        FAIL() << "no exception";
    } catch (const EIdException& failure) {
        EXPECT_NE(failure.Message.find("nevrátil"), std::string::npos) << failure.Message;
    }
    TIdRedirectListener cancelled;
    int slices = 0;
    EXPECT_THROW(Target(cancelled, 10s, [&] {
                     if (++slices == 3)
                         throw std::logic_error("cancelled");
                 }),
                 std::logic_error);
}

} // namespace
