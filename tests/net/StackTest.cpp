#include "IdComponent.h"
#include "IdException.h"
#include "IdStack.h"
#include "IdWinSock2.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>

TEST(IsDottedQuad, TellsFourByteNumbersFromHostNames)
{
    struct Case {
        const char* text;
        bool dotted;
    };
    const Case cases[] = {
        {"10.0.0.1", true},         {"127.0.0.1", true},      {"255.255.255.255", true},
        {"0.0.0.0", true},          {"192.168.1.10", true},   {"10.0.0", false},
        {"10.0.0.1.5", false},      {"10.0.0.256", false},    {"192.168.1.300", false},
        {"mail.example.com", false}, {"", false},             {"10..0.1", false},
        {"10.0.0.", false},         {"+1.0.0.1", false},      {"1.2.3.4 ", false},
        {"99999999999.0.0.1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TIdStack::IsDottedQuad(c.text), c.dotted) << c.text;
}

TEST(Address, ParsesAndFormatsFirstByteFirst)
{
    TIdIPv4Bytes bytes = TIdStack::ParseAddress("192.168.1.10");
    EXPECT_EQ(bytes, (TIdIPv4Bytes{192, 168, 1, 10}));
    EXPECT_EQ(TIdStack::FormatAddress(bytes), "192.168.1.10");
    EXPECT_THROW(TIdStack::ParseAddress("1.2.3.x"), EConvertError);
}

TEST(SocketErrorText, KnownNumberGivesTwoLines)
{
    EXPECT_EQ(TIdStack::SocketErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(TIdStack::SocketErrorText(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(TIdStack::SocketErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(TIdStack::SocketErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
}

TEST(SocketErrorText, UnknownNumberEndsWithTheLineBreak)
{
    EXPECT_EQ(TIdStack::SocketErrorText(12345), "Socket Error # 12345\r\n");
}

TEST(SocketErrorText, EveryResolverFailureHasWords)
{
    for (int32_t number : {WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA}) {
        const std::string bare = "Socket Error # " + std::to_string(number) + "\r\n";
        EXPECT_GT(TIdStack::SocketErrorText(number).size(), bare.size() + 10) << number;
    }
}

TEST(WinsockErrorFromErrno, MapsSystemErrorsToTheTable)
{
    struct Case {
        int error;
        int32_t number;
    };
    const Case cases[] = {
        {ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {ECONNABORTED, 10053}, {EPIPE, 10058},
        {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},  {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
        {EADDRINUSE, 10048},   {EINTR, 10004},      {EBADF, 10009},        {ENOTSOCK, 10038},
        {EAGAIN, 10035},       {EINPROGRESS, 10036}, {EMFILE, 10024},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WinsockErrorFromErrno(c.error), c.number) << c.error;
}

TEST(WinsockErrorFromResolver, UnknownHostIsHostNotFound)
{
    EXPECT_EQ(WinsockErrorFromResolver(EAI_NONAME, 0), WSAHOST_NOT_FOUND);
    EXPECT_EQ(WinsockErrorFromResolver(EAI_AGAIN, 0), WSATRY_AGAIN);
    EXPECT_EQ(WinsockErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), WSAECONNREFUSED);
}

TEST(LookupHost, LocalhostInAnyCaseNeedsNoLookup)
{
    TIdComponent component;
    for (const char* host : {"localhost", "LocalHost", "LOCALHOST"})
        EXPECT_EQ(GlobalStack->LookupHost(host), "127.0.0.1") << host;
}

TEST(LookupHost, AddressesAreUsedUnchangedWithTheirFamily)
{
    TIdComponent component;
    struct Case {
        const char* host;
        TIdPeerAddress address;
    };
    const Case cases[] = {
        {"192.168.1.10", {Id_PF_INET, "192.168.1.10"}},
        {"localhost", {Id_PF_INET, "127.0.0.1"}},
        {"::1", {Id_PF_INET6, "::1"}},
        {"[::1]", {Id_PF_INET6, "::1"}},
        {"[2001:db8::25]", {Id_PF_INET6, "2001:db8::25"}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(TIdStack::NeedsLookup(c.host)) << c.host;
        EXPECT_EQ(GlobalStack->LookupHostAddresses(c.host), std::vector<TIdPeerAddress>{c.address}) << c.host;
    }
}

TEST(IsLoopbackAddress, OnlyTheMachineItself)
{
    struct Case {
        const char* address;
        bool loopback;
    };
    const Case cases[] = {
        {"127.0.0.1", true}, {"127.3.2.1", true},       {"::1", true},     {"::ffff:127.0.0.1", true},
        {"10.0.0.1", false}, {"192.168.1.127", false}, {"::2", false},    {"2001:db8::1", false},
        {"", false},         {"localhost", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TIdStack::IsLoopbackAddress(c.address), c.loopback) << c.address;
}

TEST(CheckSocketResult, AllowedErrorIsReturnedOthersRaise)
{
    TIdComponent component;
    EXPECT_FALSE(GlobalStack->CheckSocketResult(0, {}));
    GlobalStack->WSASetLastError(WSAECONNABORTED);
    EXPECT_TRUE(GlobalStack->CheckSocketResult(Id_SOCKET_ERROR, {WSAESHUTDOWN, WSAECONNABORTED}));
    EXPECT_EQ(GlobalStack->LastErrorCode, WSAECONNABORTED);
    GlobalStack->WSASetLastError(WSAECONNREFUSED);
    try {
        GlobalStack->CheckSocketResult(Id_SOCKET_ERROR, {WSAESHUTDOWN});
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorNumber, 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(GlobalStack, SharedByComponentsAndFreedWithTheLast)
{
    ASSERT_EQ(GlobalStack, nullptr);
    {
        TIdComponent first;
        TIdStack* stack = GlobalStack;
        ASSERT_NE(stack, nullptr);
        {
            TIdComponent second;
            EXPECT_EQ(GlobalStack, stack);
        }
        EXPECT_EQ(GlobalStack, stack);
    }
    EXPECT_EQ(GlobalStack, nullptr);
}
