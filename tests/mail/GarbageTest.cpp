// Every hostile sample must end in a result or an exception of the message layer:
// no crash, no sanitizer report, no endless loop.

#include <filesystem>

#include "Exception.h"
#include "IdCharset.h"
#include "IdMessage.h"
#include "MailTestSupport.h"
#include "TestData.h"

#include <gtest/gtest.h>

namespace {

// Walks every text the message gives the program, which must all be valid UTF-8.
void WalkParts(const TIdMessage& message)
{
    std::vector<std::string> texts = {message.From.Text(), message.Recipients.JoinedText(), message.Subject,
                                      message.Organization(), message.RawHeaders.Text()};
    TIdMessageParts& parts = const_cast<TIdMessageParts&>(message.Parts());
    parts.Recount();
    for (int i = 0; i < parts.Count(); ++i) {
        DescribePart(parts[i]);
        texts.push_back(parts[i].ContentType());
        parts[i].ContentTransfer();
        if (auto* text = dynamic_cast<const TIdText*>(&parts[i]))
            texts.insert(texts.end(), text->Lines.begin(), text->Lines.end());
        if (auto* attachment = dynamic_cast<const TIdAttachment*>(&parts[i]))
            texts.push_back(attachment->AttachmentName);
    }
    texts.insert(texts.end(), message.Body().begin(), message.Body().end());
    for (const std::string& text : texts)
        EXPECT_TRUE(IsValidUtf8(text)) << text.substr(0, 200);
}

} // namespace

TEST(Garbage, EverySampleParsesOrFailsCleanly)
{
    int samples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("garbage"))) {
        SCOPED_TRACE(entry.path().filename().string());
        ++samples;
        TIdMessage message;
        try {
            RetrieveTestMessage(message, "garbage/" + entry.path().filename().string());
        } catch (const Exception&) {
            // A clean failure with the layer's own text is fine.
        }
        WalkParts(message);
    }
    EXPECT_GE(samples, 10);
}

TEST(Garbage, HugeHeaderValuesAreReadInOnePass)
{
    // Each value is folded over many lines of the allowed length; a parser that went
    // back over what it had read would not finish here.
    auto folded = [](const std::string& name, const std::string& piece, size_t count) {
        std::string header = name + ":";
        std::string line;
        for (size_t i = 0; i < count; ++i) {
            line += piece;
            if (line.size() > 1000) {
                header += " " + line + "\r\n";
                line.clear();
            }
        }
        return header + " " + line + "\r\n";
    };
    std::string bytes = folded("From", "a <> ", 200000) + folded("To", "; ", 300000)
                        + folded("Cc", "x@y, ", 100000) + folded("Subject", "=?ISO", 200000)
                        + folded("Reply-To", "((((", 100000) + "\r\nbody\r\n";
    TIdMessage message;
    MemoryMailClient mail;
    mail.Retrieve(message, bytes);
    EXPECT_EQ(message.Recipients.Count(), 0);
    EXPECT_EQ(message.CCList().Count(), 100000);
    EXPECT_EQ(message.Body(), std::vector<std::string>{"body"});
}
