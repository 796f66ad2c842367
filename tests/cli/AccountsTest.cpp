#include "Accounts.h"

#include <gtest/gtest.h>

TEST(Accounts, AccountsAreChosenByPositionOrAddress)
{
    const auto accounts = ParseAccounts("a@x\r\nh1\r\nu\r\np\r\n1\r\nb@x\r\nh2\r\nu\r\np\r\n2\r\n"
                                        "a@x\r\nh3\r\nu\r\np\r\n3\r\n");
    EXPECT_EQ(SelectAccount(accounts, "2").Host, "h2");
    EXPECT_EQ(SelectAccount(accounts, "a@x").Host, "h1");
    EXPECT_EQ(SelectAccount(accounts, "b@x").Host, "h2");
    EXPECT_THROW(SelectAccount(accounts, "4"), Exception);
    EXPECT_THROW(SelectAccount(accounts, "0"), Exception);
    EXPECT_THROW(SelectAccount(accounts, "c@x"), Exception);
}
