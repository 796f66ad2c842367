#include "IdEMailAddress.h"

#include <gtest/gtest.h>

namespace {

TIdEMailAddressItem Parsed(std::string_view text)
{
    return TIdEMailAddressItem(text);
}

} // namespace

TEST(EMailAddressItem, SplitsNameAndAddress)
{
    struct Case { const char* text; const char* name; const char* address; };
    for (const Case& c : std::initializer_list<Case>{
             {"John Smith <js@h>", "John Smith", "js@h"},
             {"js@h (John)", "", "js@h"},
             {"\"Smith, J.\" <js@h>", "Smith, J.", "js@h"},
             {"<js@h>", "", "js@h"},
             {"js@h", "", "js@h"},
             {"john", "", "john"},
             {"  js@example.com  ", "", "js@example.com"},
             {"Jan <jan.novak@example . cz>", "Jan", "jan.novak@example.cz"},
             {"\"A \\\"B\\\"\" <x@y>", "A \"B\"", "x@y"},
             {"<\"john doe\"@example.com>", "", "john doe@example.com"},
             {"js@h (a (nested) comment)", "", "js@h"},
             {"x\"y\" <a@b>", "xy", "a@b"},
             {"", "", ""},
             // The address is what the last angle brackets hold, whatever the name holds.
             {"a@b <a@b>", "a@b", "a@b"},
             {"Nov\xE1k <jan@x> <real@y>", "Nov\xE1k <jan@x>", "real@y"},
             {"a <b> <x@y>", "a <b>", "x@y"},
             {"\"Jan\\\" <j@x>", "Jan\\", "j@x"},
             {"\"a <b>\" <c@d>", "a <b>", "c@d"},
             {"\"x@y\" <c@d>", "x@y", "c@d"},
         }) {
        TIdEMailAddressItem item = Parsed(c.text);
        EXPECT_EQ(item.Name, c.name) << c.text;
        EXPECT_EQ(item.Address, c.address) << c.text;
    }
}

TEST(EMailAddressItem, AtOutsideTheBracketsRaises)
{
    try {
        Parsed("<a@b> c@d");
        FAIL();
    } catch (const EIdEmailParseError& error) {
        EXPECT_EQ(error.Message, "@ Outside address");
    }
}

TEST(EMailAddressItem, FormatsNameAndAddress)
{
    struct Case { const char* name; const char* address; const char* text; };
    for (const Case& c : std::initializer_list<Case>{
             {"", "js@h", "js@h"},
             {"John Smith", "js@h", "John Smith <js@h>"},
             {"Smith, J.", "js@h", "\"Smith, J.\" <js@h>"},
             {"Ji\xF8\xED Nov\xE1k", "jn@h", "\"Ji\xF8\xED Nov\xE1k\" <jn@h>"},
             {"JS@H", "js@h", "<js@h>"},
             {"", "john", ""},
             {"John", "john", "John <>"},
             {"John", "", "John <>"},
             {"", "", ""},
             {"", "john doe@h", "<\"john doe\"@h>"},
             {"", "a\"b@h", "<\"a\\\"b\"@h>"},
             {"", "first.last@h", "first.last@h"},
             {"", ".x y@h", ".x y@h"},
         }) {
        TIdEMailAddressItem item;
        item.Name = c.name;
        item.Address = c.address;
        EXPECT_EQ(item.Text(), c.text) << c.name << " / " << c.address;
    }
}

TEST(EMailAddressList, ParsesAndJoinsAddresses)
{
    TIdEMailAddressList list;
    list.ParseList("a@b, \"Doe, J.\" <j@k>");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Address, "a@b");
    EXPECT_EQ(list[1].Name, "Doe, J.");
    EXPECT_EQ(list.JoinedText(), "a@b, \"Doe, J.\" <j@k>");
}

TEST(EMailAddressList, NameLikeAnAddressKeepsTheAddressInBrackets)
{
    TIdEMailAddressList list;
    list.ParseList("a@b <a@b>, \"Jan\\\" <j@x>");
    EXPECT_EQ(list.JoinedText(), "\"a@b\" <a@b>, \"Jan\\\\\" <j@x>");
}

TEST(EMailAddressList, CountsWhatTheValueHolds)
{
    struct Case { const char* value; int count; };
    for (const Case& c : std::initializer_list<Case>{
             {"undisclosed-recipients:;", 0},
             {"", 0},
             {"   ", 0},
             {"single@x", 1},
             {"a@x,b@x,,c@x", 3},
             {"Group: a@x, b@x;", 2},
             {"a@x (one, two), b@x", 2},
             {"<>, a@x", 1},
             {"\"quoted, comma\" <q@x>", 1},
             {"a\\,b@x", 1},
         }) {
        TIdEMailAddressList list;
        list.ParseList(c.value);
        EXPECT_EQ(list.Count(), c.count) << c.value;
    }
}

TEST(EMailAddressList, BadAddressRaisesFromParseList)
{
    TIdEMailAddressList list;
    EXPECT_THROW(list.ParseList("x@y, <a@b> c@d"), EIdEmailParseError);
}
