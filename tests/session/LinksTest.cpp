#include "Links.h"
#include "RecordingUserInterface.h"

#include <gtest/gtest.h>

namespace {

class OpenWithShellTest : public ::testing::Test {
protected:
    TRecordingUserInterface Ui;
};

} // namespace

TEST_F(OpenWithShellTest, WebAndMailLinksReachTheDesktop)
{
    for (const char* link : {"http://example.org/", "https://example.org/a?b=c", "ftp://ftp.example.org/pub",
                             "mailto:someone@example.org", "HTTP://EXAMPLE.ORG/", "MailTo:x@y"})
        OpenWithShell(link);
    EXPECT_EQ(Ui.Opened, (std::vector<std::string>{"http://example.org/", "https://example.org/a?b=c",
                                                   "ftp://ftp.example.org/pub", "mailto:someone@example.org",
                                                   "HTTP://EXAMPLE.ORG/", "MailTo:x@y"}));
}

TEST_F(OpenWithShellTest, OtherSchemesAndLocalPathsAreIgnored)
{
    for (const char* link : {"file:///etc/passwd", "/usr/bin/xterm", "C:\\Windows\\calc.exe", "calc.exe",
                             "javascript:alert(1)", "smb://host/share", "data:text/html,x", "", " http://x/",
                             "httpx://example.org/", "ttp://example.org/"})
        OpenWithShell(link);
    EXPECT_TRUE(Ui.Opened.empty());
}

TEST(SafeFileName, KeepsOnlyTheLastPathComponent)
{
    EXPECT_EQ(SafeFileName("report.pdf"), "report.pdf");
    EXPECT_EQ(SafeFileName("../../.bashrc"), ".bashrc");
    EXPECT_EQ(SafeFileName("/etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("C:\\Windows\\system32\\evil.dll"), "evil.dll");
    EXPECT_EQ(SafeFileName("dir/"), "");
    EXPECT_EQ(SafeFileName(".."), "");
    EXPECT_EQ(SafeFileName("a/.."), "");
    EXPECT_EQ(SafeFileName(""), "");
}

TEST(SafeFileName, ReplacesCharactersThatCannotStandInAFileName)
{
    EXPECT_EQ(SafeFileName("a:b*c?d\"e<f>g|h"), "a_b_c_d_e_f_g_h");
    EXPECT_EQ(SafeFileName(std::string("a\r\nb\tc\x7F" "d\x01", 9)), "a__b_c_d_");
    // Czech letters are kept as they are.
    EXPECT_EQ(SafeFileName("příloha.txt"), "příloha.txt");
}
