#include "IdHashMessageDigest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DigestCase {
    std::string Input;
    std::string Hex;
};

// The test suite of RFC 1321, appendix A.5.
const DigestCase Rfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(HashMessageDigest5, Rfc1321TestSuite)
{
    for (const auto& test : Rfc1321Suite)
        EXPECT_EQ(TIdHashMessageDigest5::HashValueAsHex(test.Input), test.Hex) << '"' << test.Input << '"';
}

TEST(HashMessageDigest5, Rfc1939ApopExample)
{
    EXPECT_EQ(TIdHashMessageDigest5::HashValueAsHex("<1896.697170952@dbc.mtview.ca.us>tanstaaf"),
              "c4c9334bac560ecc979e58001b3e22fb");
}

// Inputs whose padding falls on either side of a block edge take different paths.
TEST(HashMessageDigest5, LengthsAroundTheBlockEdge)
{
    const DigestCase cases[] = {
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(TIdHashMessageDigest5::HashValueAsHex(test.Input), test.Hex) << test.Input.size() << " bytes";
}

TEST(HashMessageDigest5, HighBytesAreHashedAsUnsigned)
{
    EXPECT_EQ(TIdHashMessageDigest5::HashValueAsHex(std::string("\xff\x80\x00\xe1", 4)),
              "2fc90e53075c44b445f57b63a6c69245");
}

TEST(HashMessageDigest5, DigestIsFirstByteFirst)
{
    auto digest = TIdHashMessageDigest5::HashValue("abc");
    EXPECT_EQ(digest.front(), 0x90);
    EXPECT_EQ(digest.back(), 0x72);
}

} // namespace
