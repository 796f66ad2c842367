#include "IdCharset.h"
#include "IdHeaderParameters.h"

#include <gtest/gtest.h>

TEST(ValidUtf8, ReplacesEachBrokenSequenceOnce)
{
    struct Case { std::string bytes; std::string valid; };
    for (const Case& c : std::initializer_list<Case>{
             {"Příloha 😀", "Příloha 😀"},
             {"a\xC5", "a\uFFFD"},                       // cut off at the end
             {"\xE2\x82x", "\uFFFDx"},                    // cut off inside
             {"\xC0\xAF", "\uFFFD\uFFFD"},                // overlong
             {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},      // surrogate
             {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
             {"\xFF\xFE", "\uFFFD\uFFFD"},
         }) {
        EXPECT_EQ(ValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(IsValidUtf8(c.bytes), c.bytes == c.valid) << c.bytes;
    }
}

TEST(AttachmentFileName, ReadsEveryFormOfTheName)
{
    struct Case { const char* contentType; const char* disposition; const char* name; };
    for (const Case& c : std::initializer_list<Case>{
             {"", "attachment; filename*=UTF-8''P%C5%99%C3%ADloha.pdf", "Příloha.pdf"},
             {"", "attachment; filename*=iso-8859-2'cs'P%F8%EDloha.pdf", "Příloha.pdf"},
             {"", "attachment;\r\n filename*0*=UTF-8''P%C5%99;\r\n filename*1*=%C3%ADloha; filename*2=\".pdf\"",
              "Příloha.pdf"},
             {"", "attachment; filename*1=b.txt; filename*0=a", "ab.txt"},
             {"", "attachment; filename=\"fallback.pdf\"; filename*=UTF-8''real.pdf", "real.pdf"},
             {"text/plain; name*=UTF-8''%E2%82%AC.txt", "attachment", "€.txt"},
             {"application/pdf; name=\"Příloha.pdf\"", "", "Příloha.pdf"},
             {"application/pdf; name=\"P\xF8\xEDloha.pdf\"", "", "Příloha.pdf"},
             {"application/pdf; name=\"=?utf-8?B?UMWZw61sb2hh?=.pdf\"", "", "Příloha.pdf"},
             {"application/pdf; name=\"=?iso-8859-1?Q?=ZZ?=\"", "", "=?iso-8859-1?Q?=ZZ?="},
             {"", "attachment; FileName=\"a;b \\\"c\\\".txt\"; size=3", "a;b \"c\".txt"},
             {"text/plain; name=bare.txt; x-unix-mode=0644", "", "bare.txt"},
             {"text/plain; name=type.txt", "inline; filename=\"\"", "type.txt"},
             {"text/plain; name=type.txt", "attachment; filename=disposition.txt", "disposition.txt"},
             {"", "attachment; filename=\"open.txt", "open.txt"},
             // Bad input: best text, never a failure.
             {"", "attachment; filename*=UTF-8''100%25%zz%4", "100%%zz%4"},
             {"", "attachment; filename*=UTF-8''%FF.txt", "\uFFFD.txt"},
             {"", "attachment; filename*=x-made-up''%C5%99", "ř"},
             {"", "attachment; filename*=''%F8", "ř"},
             {"", "attachment; filename*=no-apostrophes%2Etxt", "no-apostrophes.txt"},
             {"", "attachment; filename*99999*=x", ""},
         })
        EXPECT_EQ(AttachmentFileName(c.contentType, c.disposition), c.name) << c.disposition << c.contentType;
}
