// Messages as real mail programs and relays send them, odd but readable: every one of
// them must open, and every attachment in them must be found with its bytes.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "IdGlobal.h"
#include "IdMessage.h"
#include "MailTestSupport.h"
#include "TestData.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

std::string Hash(std::string_view bytes)
{
    char hash[32];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(bytes)));
    return hash;
}

// The body lines, then every part with its decoded bytes by length and hash.
Lines Described(const TIdMessage& message)
{
    Lines described{"body " + std::to_string(message.Body().size()) + " " + Hash(TextOfLines(message.Body()))};
    for (int i = 0; i < message.Parts().Count(); ++i) {
        if (auto* text = dynamic_cast<const TIdText*>(&message.Parts()[i]))
            described.push_back("text " + std::to_string(text->Lines.size()) + " " + Hash(TextOfLines(text->Lines)));
        else
            described.push_back(DescribePart(message.Parts()[i]));
    }
    return described;
}

} // namespace

TEST(OddMessages, EveryOneOpens)
{
    int samples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("odd"))) {
        SCOPED_TRACE(entry.path().filename().string());
        ++samples;
        TIdMessage message;
        EXPECT_NO_THROW(RetrieveTestMessage(message, "odd/" + entry.path().filename().string()));
        Described(message);
        message.From.Text();
        message.Recipients.JoinedText();
    }
    EXPECT_GE(samples, 8);
}

TEST(OddMessages, EveryPartIsFoundWithItsBytes)
{
    const std::string noBody = "body 0 cbf29ce484222325";
    struct Case { const char* file; Lines parts; };
    for (const Case& c : std::initializer_list<Case>{
             {"base64-odd-lines.eml",
              {noBody, "text 1 0e30c768f58d413b", "attachment report.bin 700 7c6e309adb026cac"}},
             {"uuencoded-short.eml",
              {"body 9 1f10a907fd4657d4", "attachment note.txt 28 7142487889562091",
               "attachment note.xxe 28 7142487889562091", "attachment key.bin 100 759ee07273a3c9d5",
               "attachment empty.txt 0 cbf29ce484222325"}},
             {"multipart-8bit-top.eml",
              {noBody, "text 1 d3063165f4020edf", "attachment logo.png 120 8eb395a5b13e3ac3"}},
             {"inline-and-unnamed.eml",
              {noBody, "text 1 5da137d582923a30", "attachment one.gif 57 6ae8a52b6a9e1e33",
               "attachment  64 0cb56808b69ba6d6", "attachment seznam.txt 13 38ae063ac23588a6"}},
             {"signature-without-blank.eml", {"body 9 ac4e0158d78ecaf1"}},
             {"boundary-padding.eml",
              {"body 1 420e37e8a3451ffe", "text 0 cbf29ce484222325", "text 1 3c94b9be6a5d7b59",
               "text 1 f66b3bf0601748cf", "attachment data.bin 90 26e8942017b2dd1b"}},
             {"forwarded-message.eml",
              {"body 1 083cb407b4f40f36", "text 1 3f4133ec0c96fb22", "text 5 968e44c2338d0f0c",
               "text 0 cbf29ce484222325", "text 1 aaef98cc5d96078a",
               "attachment contract.pdf 200 93b3e78158792917", "attachment notes.bin 40 5786d835caa019fb"}},
             {"header-line-20000.eml", {"body 1 870150c9a345d826"}},
         }) {
        TIdMessage message;
        RetrieveTestMessage(message, std::string("odd/") + c.file);
        EXPECT_EQ(Described(message), c.parts) << c.file;
    }
}

TEST(OddMessages, HeaderFieldsOfOddSenders)
{
    TIdMessage longLine;
    RetrieveTestMessage(longLine, "odd/header-line-20000.eml");
    EXPECT_EQ(longLine.Subject, "long trace");
    EXPECT_EQ(longLine.From.Address, "a@b");
    EXPECT_EQ(longLine.From.Text(), "\"a@b\" <a@b>");
    TIdMessage pacific;
    RetrieveTestMessage(pacific, "odd/signature-without-blank.eml");
    EXPECT_NEAR(pacific.Date - LocalUtcOffset(EncodeDate(2026, 12, 5)), EncodeDate(2026, 12, 5) + EncodeTime(0, 20, 0),
                1.0 / 86400);
}

// Every part with its exact content: a text's lines each with CR LF, an attachment's
// decoded bytes.
using Contents = std::vector<std::pair<std::string, std::string>>;

std::string SavedBytes(const TIdAttachment& attachment)
{
    static int saved = 0;
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
        ("kormoran-odd-" + std::to_string(getpid()) + "-" + std::to_string(++saved));
    attachment.SaveCopyTo(path.string());
    std::string bytes = ReadFileBytes(path.string());
    std::filesystem::remove(path);
    return bytes;
}

Contents ContentsOf(const TIdMessage& message)
{
    Contents contents;
    for (int i = 0; i < message.Parts().Count(); ++i) {
        if (auto* text = dynamic_cast<const TIdText*>(&message.Parts()[i]))
            contents.emplace_back("text", TextOfLines(text->Lines));
        else if (auto* attachment = dynamic_cast<const TIdAttachment*>(&message.Parts()[i]))
            contents.emplace_back("attachment " + attachment->AttachmentName, SavedBytes(*attachment));
    }
    return contents;
}

TEST(OddMessages, UuencodeAndBlanksAroundParameterEqualsAsOlderMailersWriteThem)
{
    std::string bytes(100, '\0');
    for (int i = 0; i < 100; ++i)
        bytes[i] = static_cast<char>(i);
    struct Case { const char* file; Contents parts; };
    for (const Case& c : std::initializer_list<Case>{
             {"uuencode-transfer-encodings.eml",
              {{"text", "Three files.\r\n"},
               {"attachment a.txt", "First file, sent as x-uuencode.\n"},
               {"attachment b.txt", "Second file, long enough for a whole line of forty-five bytes and more.\n"},
               {"attachment c.bin", bytes}}},
             {"boundary-after-blank.eml",
              {{"text", "\r\n"}, {"text", "Hello.\r\n\r\n"}, {"attachment data.txt", "Data from an old mailer.\n"}}},
             {"uuencoded-in-text-part.eml",
              {{"text", "See the file below.\r\n\r\n\r\nRegards.\r\n"},
               {"attachment inside.txt", "A file inside a text part.\n"}}},
         }) {
        TIdMessage message;
        RetrieveTestMessage(message, std::string("odd/") + c.file);
        EXPECT_EQ(ContentsOf(message), c.parts) << c.file;
    }
}
