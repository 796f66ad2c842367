#include "IdCoderMIME.h"
#include "IdCoderQuotedPrintable.h"
#include "IdCoderUUE.h"
#include "IdCoderXXE.h"
#include "IdException.h"

#include <gtest/gtest.h>

namespace {

std::string Decode(TIdDecoder&& decoder, std::string_view line)
{
    std::string output;
    decoder.DecodeToOutput(line, output);
    return output;
}

std::string DecodeBase64(std::string_view line) { return Decode(TIdDecoderMIME(), line); }
// Quoted-printable lines arrive with their line end.
std::string DecodeQP(std::string_view line) { return Decode(TIdDecoderQuotedPrintable(), std::string(line) + "\r\n"); }
std::string DecodeUUE(std::string_view line) { return Decode(TIdDecoderUUE(), line); }
std::string DecodeXXE(std::string_view line) { return Decode(TIdDecoderXXE(), line); }

} // namespace

TEST(DecoderMIME, DecodesTheStandardsExamples)
{
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_EQ(DecodeBase64("Zg=="), "f");
    EXPECT_EQ(DecodeBase64("Zm8="), "fo");
    EXPECT_EQ(DecodeBase64("Zm9v"), "foo");
    EXPECT_EQ(DecodeBase64("Zm9vYg=="), "foob");
    EXPECT_EQ(DecodeBase64("Zm9vYmE="), "fooba");
    EXPECT_EQ(DecodeBase64("Zm9vYmFy"), "foobar");
    EXPECT_EQ(DecodeBase64("AP8A"), std::string("\0\xFF\0", 3));
}

TEST(DecoderMIME, DecodesThePartsLinesAsOneStream)
{
    struct Case { const char* what; std::vector<std::string> lines; std::string decoded; };
    for (const Case& c : std::initializer_list<Case>{
             {"a group spans two lines", {"Zm9", "vYmFy"}, "foobar"},
             {"lines of any length", {"Zm9vYmFyZm", "9v", "YmFy"}, "foobarfoobar"},
             {"blanks around a line", {"Zm9v ", "\tYmFy "}, "foobar"},
             {"characters outside the alphabet", {"Zm9*v", "Ym-Fy!"}, "foobar"},
             {"NUL and 8-bit bytes", {std::string("\0\x80Zm\xFF" "9v", 7)}, "foo"},
             {"a group cut short gives its whole bytes", {"Zm9vYmE"}, "fooba"},
             {"a lone character of a group gives nothing", {"Zm9vY"}, "foo"},
             {"padding ends the data on its line", {"Zg==Zm9v"}, "f"},
             {"padding ends the data of the part", {"Zm8=", "Zm9v"}, "fo"},
         }) {
        TIdDecoderMIME decoder;
        std::string output;
        for (const std::string& line : c.lines)
            decoder.DecodeToOutput(line, output);
        EXPECT_EQ(output, c.decoded) << c.what;
    }
}

TEST(DecoderQuotedPrintable, DecodesEscapesAndLineEnds)
{
    struct Case { const char* line; const char* decoded; };
    for (const Case& c : std::initializer_list<Case>{
             {"plain", "plain\r\n"},
             {"P=F8=EDli=9A", "P\xF8\xEDli\x9A\r\n"},
             {"lower =e8=ed", "lower \xE8\xED\r\n"},
             {"soft break=", "soft break"},
             {"trailing   \t", "trailing\r\n"},
             {"space at end=20", "space at end \r\n"},
             {"=3D equals", "= equals\r\n"},
             {"a=XYb", "aXYb\r\n"},
             {"one digit =Ax", "one digit \nx\r\n"},
             {"=", ""},
         })
        EXPECT_EQ(DecodeQP(c.line), c.decoded) << c.line;
}

TEST(DecoderQuotedPrintable, SoftBreakJoinsWithTheNextLine)
{
    TIdDecoderQuotedPrintable decoder;
    std::string output;
    decoder.DecodeToOutput("Dobr=C3=BD den, jak se m=\r\n", output);
    decoder.DecodeToOutput("=C3=A1te?\r\n", output);
    EXPECT_EQ(output, "Dobr\xC3\xBD den, jak se m\xC3\xA1te?\r\n");
}

TEST(DecoderUUE, LengthCharacterDecidesTheByteCount)
{
    // "Cat" and the classic examples of the uuencode line format.
    EXPECT_EQ(DecodeUUE("#0V%T"), "Cat");
    EXPECT_EQ(DecodeUUE("!80``"), "a");
    EXPECT_EQ(DecodeUUE("!80"), "a");
    EXPECT_EQ(DecodeUUE("\"86("), "ab");
    EXPECT_EQ(DecodeUUE("`"), "");
    EXPECT_EQ(DecodeUUE(""), "");
}

TEST(DecoderUUE, SpacesCountAsGraveAccents)
{
    EXPECT_EQ(DecodeUUE("#    "), std::string(3, '\0'));
}

TEST(DecoderUUE, ShortLineIsFilledUpWithZeroBits)
{
    EXPECT_EQ(DecodeUUE("&0V%T"), std::string("Cat\0\0\0", 6));
}

TEST(DecoderUUE, LongLineIsCutToTheAnnouncedLength)
{
    EXPECT_EQ(DecodeUUE("!80``80V%T"), "a");
}

TEST(DecoderXXE, DecodesWithItsOwnAlphabet)
{
    // "Cat" in xxencode: length 3 is "1", the groups use "+-0-9A-Za-z".
    EXPECT_EQ(DecodeXXE("1Eq3o"), "Cat");
    EXPECT_EQ(DecodeXXE("+"), "");
}
