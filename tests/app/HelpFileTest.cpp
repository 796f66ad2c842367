#include "HelpFile.h"

#include "FileContents.h"
#include "udm.h"

#include <gtest/gtest.h>

namespace {

TEST(HelpFile, TopicsRunFromOneTopicLineToTheNext)
{
    auto topics = ParseHelpFile("; comment\r\nignored\r\n#1 Obsah\r\n\r\nfirst\r\n; hidden\r\nsecond\r\n\r\n#30 Okno\nthird\n#x not a topic\n");
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[0].Number, 1);
    EXPECT_EQ(topics[0].Title, "Obsah");
    EXPECT_EQ(topics[0].Text, "first\nsecond");
    EXPECT_EQ(topics[1].Number, 30);
    EXPECT_EQ(topics[1].Text, "third\n#x not a topic");
}

TEST(HelpFile, InstalledFileExplainsTheThreeTopicsInCzech)
{
    std::optional<std::string> bytes = ReadFileContents(AppFilePath("Kormoran.hlp"));
    ASSERT_TRUE(bytes) << "Kormoran.hlp is not beside the executable";
    auto topics = ParseHelpFile(*bytes);
    bool accountTopicInCzech = false;
    for (int number : {1, 10, 30}) {
        auto topic = std::find_if(topics.begin(), topics.end(), [number](const THelpTopic& t) { return t.Number == number; });
        ASSERT_NE(topic, topics.end()) << "topic " << number;
        EXPECT_GT(topic->Text.size(), 200u) << "topic " << number;
        accountTopicInCzech = accountTopicInCzech || topic->Text.find("účet") != std::string::npos;
    }
    // Windows-1250 on disk ("účet" is four bytes), UTF-8 once read.
    EXPECT_NE(bytes->find("\xFA\xE8" "et"), std::string::npos);
    EXPECT_EQ(bytes->find("účet"), std::string::npos);
    EXPECT_TRUE(accountTopicInCzech);
}

} // namespace

namespace {

TEST(HelpFile, ParagraphsAreJoinedAndListLinesKept)
{
    EXPECT_EQ(ParagraphText("one\ntwo\n\nthree\n  - item\n  - item\nfour"),
              "one two\n\nthree\n  - item\n  - item\nfour");
    EXPECT_EQ(ParagraphText(""), "");
}

} // namespace
