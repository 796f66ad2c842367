#include "Exception.h"
#include "IdCharset.h"
#include "IdCoderHeader.h"

#include <gtest/gtest.h>

namespace {

struct Case { std::string value; std::string decoded; };

void ExpectDecoded(std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        std::string decoded = DecodeEncodedWords(c.value);
        EXPECT_EQ(decoded, c.decoded) << c.value.substr(0, 80);
        EXPECT_TRUE(IsValidUtf8(decoded)) << c.value.substr(0, 80);
    }
}

} // namespace

TEST(DecodeEncodedWords, SubjectsInEveryCharsetBecomeUtf8)
{
    ExpectDecoded({
        // Czech in its three charsets.
        {"=?UTF-8?B?UMWZw61sb2hh?=", "Příloha"},
        {"=?iso-8859-2?Q?P=F8=EDloha?=", "Příloha"},
        {"=?iso-8859-2?Q?=B9_=BE_=BB?=", "š ž ť"},
        {"=?windows-1250?B?UPjtbG9oYQ==?=", "Příloha"},
        {"=?windows-1250?Q?P=F8=EDli=9A=9Elu=9Dou=E8k=FD?=", "Přílišžluťoučký"},
        // Other languages.
        {"=?iso-8859-2?Q?Za=BF=F3=B3=E6_g=EA=B6l=B1_ja=BC=F1?=", "Zażółć gęślą jaźń"},
        {"=?iso-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Grüße aus Köln"},
        {"=?iso-8859-15?Q?Cr=E8me_br=FBl=E9e_=E0_5_=A4?=", "Crème brûlée à 5 €"},
        {"=?ISO-8859-1?Q?=93Quoted=94?=", "“Quoted”"},
        {"=?koi8-r?B?8NLJ18XULCDNydI=?=", "Привет, мир"},
        {"=?windows-1251?B?z/Do4uXyLCDs6PA=?=", "Привет, мир"},
        {"=?iso-2022-jp?B?GyRCRnxLXDhsJE4lYSE8JWsbKEI=?=", "日本語のメール"},
        {"=?utf-8?B?QWhvaiDwn5iA?=", "Ahoj 😀"},
        {"=?us-ascii?Q?abc?=", "abc"},
        {"=?UTF-8*cs?Q?=C5=99?=", "ř"},
        // Words and the text around them.
        {"Re: =?iso-8859-2?Q?=E8=ED?= x", "Re: čí x"},
        {"=?ISO-8859-1?q?a_b?=", "a b"},
        {"=?iso-8859-1?Q?a?= =?iso-8859-1?Q?b?=", "ab"},
        {"=?utf-8?Q?a?=\r\n\t=?windows-1250?Q?=E8?=", "ač"},
        {"=?utf-8?Q?a?= x =?utf-8?Q?b?=", "a x b"},
        {"=?ISO-8859-1?Q?" "?=", ""},
        {"=?iso-8859-1?Q?=4?=", "=4"},
        {"plain text", "plain text"},
        // A character split between two words.
        {"=?UTF-8?Q?=C5?= =?UTF-8?Q?=99?=", "ř"},
        {"=?UTF-8?B?UMU=?= =?utf-8?B?mcOtbGnFocW+bHXFpW91xI1rw70ga8WvxYggw7pwxJts?=",
         "Přílišžluťoučký kůň úpěl"},
        {"=?UTF-8?Q?=C5?= =?iso-8859-2?Q?=F8?=", "\uFFFDř"},
        // Raw 8-bit header bytes.
        {"Příloha =?utf-8?Q?=C5=99?=", "Příloha ř"},
        {"P\xF8\xEDloha", "Příloha"},
    });
}

TEST(DecodeEncodedWords, BadInputGivesTheBestTextItCan)
{
    const std::string longCharset(10000, 'A');
    ExpectDecoded({
        {"=?utf-8?Q?a=FFb?=", "a\uFFFDb"},
        {"=?utf-8?Q?a=C5?=", "a\uFFFD"},
        {"=?x-made-up?Q?P=C5=99=E9?=", "Př\uFFFD"},
        {"=?" + longCharset + "?Q?P=C5=99?=", "Př"},
        {"=?utf-8?Q?a=?utf-8?Q?b?=c?=", "=?utf-8?Q?abc?="},
        {"=?iso-8859-2//IGNORE?Q?=F8?=", "=?iso-8859-2//IGNORE?Q?=F8?="},
        {"=?utf-8?X?abc?=", "=?utf-8?X?abc?="},
        {"a\x81" "b", "a\uFFFDb"},
        {"=?iso-8859-1?Q?b?= =?iso-8859-1?Q?open", "b =?iso-8859-1?Q?open"},
        {"=?iso-8859-1 no end", "=?iso-8859-1 no end"},
        {"=?windows-1250?Q?y?= =?windows-1250?Q?open =?windows", "y =?windows-1250?Q?open =?windows"},
        // "=?ISO-8859-1?Q?x?=" written as an encoded word of its own.
        {"=?iso-8859-1?Q?=3D=3FISO-8859-1=3FQ=3Fx=3F=3D?=", "=?ISO-8859-1?Q?x?="},
        {"=?iso-8859-1?B?YQ==?=", "a"},
        {std::string("a\0b", 3), "ab"},
    });
    // ISO-2022-JP with a broken escape in the middle: what follows it is still shown.
    std::string japanese = DecodeEncodedWords("=?iso-2022-jp?B?GyRCRnwbKFpLXBskQkY=?= konec");
    EXPECT_TRUE(japanese.starts_with("日")) << japanese;
    EXPECT_TRUE(japanese.ends_with(" konec")) << japanese;
    EXPECT_TRUE(IsValidUtf8(japanese));
}

TEST(DecodeEncodedWords, BadHexadecimalDigitsRaiseTheIntegerError)
{
    try {
        DecodeEncodedWords("=?utf-8?Q?a=ZZb?=");
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message, "'$ZZ' is not a valid integer value");
    }
}
