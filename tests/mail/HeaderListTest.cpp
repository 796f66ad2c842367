#include "Exception.h"
#include "IdHeaderList.h"

#include <gtest/gtest.h>

namespace {

TIdHeaderList ListOf(std::initializer_list<const char*> lines)
{
    TIdHeaderList list;
    for (const char* line : lines)
        list.Add(line);
    return list;
}

} // namespace

TEST(HeaderList, FirstLineWinsAndContinuationsJoinWithOneSpace)
{
    TIdHeaderList list = ListOf({"Subject: a", " b", "Subject: c"});
    EXPECT_EQ(list.ValueOf("subject"), "a b");
    EXPECT_EQ(list.FindName("SUBJECT"), 0);
}

TEST(HeaderList, ReadsValuesAsTheyAreWritten)
{
    struct Case { const char* line; const char* name; const char* value; };
    for (const Case& c : std::initializer_list<Case>{
             {"Subject:x", "Subject", "x"},
             {"Subject:   spaced  \t", "Subject", "spaced"},
             {"To: a: b", "to", "a: b"},
             {"X-Empty:", "x-empty", ""},
             {"Subject :x", "Subject ", "x"},
         }) {
        TIdHeaderList list = ListOf({c.line});
        EXPECT_EQ(list.ValueOf(c.name), c.value) << c.line;
    }
}

TEST(HeaderList, NameBeforeTheColonIsNotTrimmed)
{
    TIdHeaderList list = ListOf({"Subject :x"});
    EXPECT_EQ(list.NameAt(0), "SUBJECT ");
    EXPECT_EQ(list.FindName("Subject"), -1);
    EXPECT_EQ(list.ValueOf("Subject"), "");
}

TEST(HeaderList, LineWithoutColonHasNoName)
{
    TIdHeaderList list = ListOf({"no colon here", "From: x"});
    EXPECT_EQ(list.NameAt(0), "");
    EXPECT_EQ(list.FindName(""), -1);
    EXPECT_EQ(list.ValueOf("From"), "x");
}

TEST(HeaderList, LastLineHasNoContinuation)
{
    TIdHeaderList list = ListOf({"From: a", "Subject: last"});
    EXPECT_EQ(list.ValueOf("Subject"), "last");
    EXPECT_EQ(list.ValueAt(2), "");
    EXPECT_EQ(list.ValueAt(-1), "");
}

TEST(HeaderList, ContinuationLinesOfBlanksAddNothingButOneSpace)
{
    TIdHeaderList list = ListOf({"Subject:", "   ", "\tword", " "});
    EXPECT_EQ(list.ValueOf("Subject"), "word");
}

TEST(HeaderList, TextIsEveryLineWithCrLf)
{
    EXPECT_EQ(ListOf({"A: 1", " 2"}).Text(), "A: 1\r\n 2\r\n");
    EXPECT_THROW(ListOf({})[0], EListError);
}

TEST(HeaderList, SetValueOfReplacesAppendsAndDeletes)
{
    TIdHeaderList list = ListOf({"Content-Type: text/plain;", " charset=x", "X: y"});
    list.SetValueOf("content-type", "image/png");
    EXPECT_EQ(list.Text(), "content-type: image/png\r\nX: y\r\n");
    list.SetValueOf("Content-Disposition", "inline");
    EXPECT_EQ(list.ValueOf("Content-Disposition"), "inline");
    list.SetValueOf("CONTENT-TYPE", "");
    EXPECT_EQ(list.Text(), "X: y\r\nContent-Disposition: inline\r\n");
    list.SetValueOf("Missing", "");
    EXPECT_EQ(list.Count(), 2);
}

TEST(HeaderList, LongValuesAreWrappedAndReadBack)
{
    const std::string value = "application/octet-stream; name=\"a very long name, with a comma.pdf\"; "
                              "x-extra=one, two, three, four, five, six, seven";
    TIdHeaderList list;
    list.SetValueOf("Content-Type", value);
    ASSERT_GT(list.Count(), 1);
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_LE(list[i].size(), 90u) << list[i];
        if (i > 0) {
            EXPECT_EQ(list[i][0], ' ');
        }
    }
    EXPECT_EQ(list.ValueOf("Content-Type"), value);
}

TEST(HeaderList, CommaCutGainsOneSpaceWhenReadBack)
{
    std::string value(70, 'a');
    value += "," + std::string(20, 'b');
    TIdHeaderList list;
    list.SetValueOf("X", value);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.ValueOf("X"), std::string(70, 'a') + ", " + std::string(20, 'b'));
}

TEST(HeaderList, QuotedTextIsNotCut)
{
    std::string value = "\"" + std::string(50, 'a') + " " + std::string(50, 'b') + "\"";
    TIdHeaderList list;
    list.SetValueOf("X", value);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1], " " + value);
    EXPECT_EQ(list.ValueOf("X"), value);
}
