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
    EXPECT_EQ(SafeFileName("../../.bashrc"), "bashrc");
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
    EXPECT_EQ(SafeFileName(std::string("a\r\nb\tc\x7F" "d\x01", 9)), "ab_c_d_");
    // Czech letters are kept as they are.
    EXPECT_EQ(SafeFileName("příloha.txt"), "příloha.txt");
}

// Names a hostile message gives its attachments: none may break the line it stands in,
// turn its letters around, hide a file or make the save dialog refuse it.
TEST(AttachmentNames, LoseSeparatorsAndDirectionControlsAndStayWithinLimits)
{
    struct Case {
        std::string Name;
        std::string Shown;
        std::string Saved;
    };
    const std::string longStem(300, 'a');
    const std::string czechStem = [] {
        std::string stem;
        for (int i = 0; i < 150; ++i)
            stem += "č";
        return stem;
    }();
    const std::vector<Case> cases = {
        {"a\xE2\x80\xA9http://phish.example/ID=9", "ahttp://phish.example/ID=9", "ID=9"},
        {"a\xE2\x80\xA8" "b\xC2\x85" "c\r\nd", "abcd", "abcd"},
        {"invoice\xE2\x80\xAE" "fdp.sh", "invoicefdp.sh", "invoicefdp.sh"},
        // Dropping U+2066 must not join the bytes around it into U+202E.
        {"invoice\xE2\x80\xE2\x81\xA6\xAE" "fdp.sh", "invoice___fdp.sh", "invoice___fdp.sh"},
        {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9x",
         "x", "x"},
        {"\x1B[31mred\xC2\x9B", "_[31mred_", "_[31mred_"},
        {".bash_profile", ".bash_profile", "bash_profile"},
        {"...", "...", ""},
        {longStem + ".pdf", longStem + ".pdf", std::string(251, 'a') + ".pdf"},
        {czechStem + ".txt", czechStem + ".txt", czechStem.substr(0, 250) + ".txt"},
        {longStem, longStem, std::string(255, 'a')},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        EXPECT_EQ(OneLineName(test.Name), test.Shown);
        EXPECT_EQ(SafeFileName(test.Name), test.Saved);
        EXPECT_LE(SafeFileName(test.Name).size(), MaxFileNameBytes);
    }
}
