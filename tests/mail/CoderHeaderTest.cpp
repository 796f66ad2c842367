#include "Exception.h"
#include "IdCoderHeader.h"

#include <gtest/gtest.h>

TEST(DecodeEncodedWords, DecodesIsoAndWindowsWordsKeepingTheirBytes)
{
    struct Case { const char* value; const char* decoded; };
    for (const Case& c : std::initializer_list<Case>{
             {"=?iso-8859-2?Q?P=F8=EDloha?=", "P\xF8\xEDloha"},
             {"=?ISO-8859-1?q?a_b?=", "a b"},
             {"=?windows-1250?B?UPjtbG9oYQ==?=", "P\xF8\xEDloha"},
             {"Re: =?iso-8859-2?Q?=E8=ED?= x", "Re: \xE8\xED x"},
             {"=?iso-8859-1?Q?a?= =?iso-8859-1?Q?b?=", "a b"},
             {"=?ISO-8859-1?Q?" "?=", ""},
             {"=?iso-8859-1?Q?=4?=", "=4"},
             {"plain text", "plain text"},
         })
        EXPECT_EQ(DecodeEncodedWords(c.value), c.decoded) << c.value;
}

TEST(DecodeEncodedWords, LeavesOtherCharsetsAlone)
{
    for (const char* value : {"=?UTF-8?B?UMWZw61sb2hh?=", "=?us-ascii?Q?abc?=", "=?koi8-r?B?8NLJ18XU?="})
        EXPECT_EQ(DecodeEncodedWords(value), value);
}

TEST(DecodeEncodedWords, PaddingLeavesNoZeroBytes)
{
    EXPECT_EQ(DecodeEncodedWords("=?iso-8859-1?B?YQ==?="), "a");
    EXPECT_EQ(DecodeEncodedWords(std::string("a\0b", 3)), "ab");
}

TEST(DecodeEncodedWords, MalformedWordsStayAndTheScanGoesOn)
{
    EXPECT_EQ(DecodeEncodedWords("=?iso-8859-1?Q?b?= =?iso-8859-1?Q?open"), "b =?iso-8859-1?Q?open");
    EXPECT_EQ(DecodeEncodedWords("=?iso-8859-1 no end"), "=?iso-8859-1 no end");
}

TEST(DecodeEncodedWords, BrokenWindowsWordIsPassedOverOnce)
{
    EXPECT_EQ(DecodeEncodedWords("=?windows-1250?Q?y?= =?windows-1250?Q?open =?windows"),
              "y =?windows-1250?Q?open =?windows");
    EXPECT_EQ(DecodeEncodedWords("=?WINDOWS?"), "=?WINDOWS?");
}

TEST(DecodeEncodedWords, DecodedTextIsNotDecodedAgain)
{
    // "=?ISO-8859-1?Q?x?=" written as an encoded word of its own.
    EXPECT_EQ(DecodeEncodedWords("=?iso-8859-1?Q?=3D=3FISO-8859-1=3FQ=3Fx=3F=3D?="), "=?ISO-8859-1?Q?x?=");
}

TEST(DecodeEncodedWords, BadHexadecimalDigitsRaiseTheIntegerError)
{
    try {
        DecodeEncodedWords("=?iso-8859-2?Q?a=ZZb?=");
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message, "'$ZZ' is not a valid integer value");
    }
}

TEST(DecodeEncodedWords, Iso2022JpBecomesShiftJis)
{
    // "日本" in ISO-2022-JP: ESC $ B 0x46 0x7C 0x4B 0x5C ESC ( B, base64 encoded.
    EXPECT_EQ(DecodeEncodedWords("=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?="), "\x93\xFA\x96\x7B");
}

TEST(JisToShiftJis, ConvertsDoubleByteRunsAndCopiesTheRest)
{
    struct Case { std::string jis; std::string sjis; };
    for (const Case& c : std::initializer_list<Case>{
             {"abc", "abc"},
             {"\x1b$B\x30\x21\x1b(Bx", "\x88\x9F" "x"},  // 亜
             {"\x1b$B\x24\x22", "\x82\xA0"},               // あ
             {"\x1b$B\x25\x22\x21", "\x83\x41"},           // ア, odd byte left over
             {"\x1b$B", ""},
             {"a\x1b", "a"},
             {"a\x1b(", "a("},
         })
        EXPECT_EQ(JisToShiftJis(c.jis), c.sjis);
}
