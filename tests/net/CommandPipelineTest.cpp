// The pipeline's window: how many commands go out ahead of their replies, and when.
#include "IdCommandPipeline.h"
#include "MemoryConnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// A plan of count commands "C1" ... "Cn".
TIdCommandPipeline::TCommandSource Numbered(int count)
{
    return [count, next = 1](std::string& command) mutable {
        if (next > count)
            return false;
        command = "C" + std::to_string(next++);
        return true;
    };
}

int64_t LinesWritten(const MemoryConnection& m)
{
    return std::count(m.Handler.Written.begin(), m.Handler.Written.end(), '\n');
}

} // namespace

TEST(CommandPipeline, KeepsAtMostTheWindowOutstandingAndRefillsAtHalf)
{
    MemoryConnection m;
    TIdCommandPipeline pipeline(m.Connection);
    pipeline.Plan(Numbered(9), 4);
    // Before each reply: the command it answers, and how many commands have been written.
    const struct {
        const char* Answers;
        int64_t Written;
    } steps[] = {{"C1", 4}, {"C2", 4}, {"C3", 6}, {"C4", 6}, {"C5", 8}, {"C6", 8}, {"C7", 9}, {"C8", 9}, {"C9", 9}};
    for (const auto& step : steps) {
        EXPECT_EQ(pipeline.AwaitReply(), step.Answers);
        EXPECT_EQ(LinesWritten(m), step.Written) << step.Answers;
        EXPECT_LE(pipeline.Outstanding(), 4);
        pipeline.ReplyTaken();
    }
    EXPECT_FALSE(pipeline.Active());
    EXPECT_EQ(m.Handler.Written.substr(0, 16), "C1\r\nC2\r\nC3\r\nC4\r\n") << "one batch, in order";
}

TEST(CommandPipeline, AfterStopSendingOnlyTheOutstandingAreAnswered)
{
    MemoryConnection m;
    TIdCommandPipeline pipeline(m.Connection);
    pipeline.Plan(Numbered(9), 4);
    EXPECT_EQ(pipeline.AwaitReply(), "C1");
    pipeline.ReplyTaken();
    pipeline.StopSending();
    for (const char* command : {"C2", "C3", "C4"}) {
        EXPECT_TRUE(pipeline.IsNext(command));
        EXPECT_EQ(pipeline.AwaitReply(), command);
        pipeline.ReplyTaken();
    }
    EXPECT_FALSE(pipeline.Active());
    EXPECT_EQ(LinesWritten(m), 4);
    EXPECT_THROW(pipeline.AwaitReply(), std::logic_error);
}
