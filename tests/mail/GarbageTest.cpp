// Every hostile sample must end in a result or an exception of the message layer:
// no crash, no sanitizer report, no endless loop.

#include <filesystem>

#include "Exception.h"
#include "IdMessage.h"
#include "MailTestSupport.h"
#include "TestData.h"

#include <gtest/gtest.h>

namespace {

void WalkParts(const TIdMessage& message)
{
    TIdMessageParts& parts = const_cast<TIdMessageParts&>(message.Parts);
    parts.Recount();
    for (int i = 0; i < parts.Count(); ++i) {
        DescribePart(parts[i]);
        parts[i].ContentType();
        parts[i].ContentTransfer();
    }
    message.From.Text();
    message.Recipients.JoinedText();
    message.RawHeaders.Text();
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
