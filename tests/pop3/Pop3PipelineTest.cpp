// A check's TOP n 0 and LIST n sent ahead of their replies to a server that lists
// PIPELINING, and one command at a time to one that does not.
#include "IdException.h"
#include "IdMessage.h"
#include "IdPOP3.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
const Lines NoFailures;

std::string HeaderBlock(int number)
{
    const std::string n = std::to_string(number);
    return "Subject: message " + n + "\r\nMessage-Id: <" + n + "@x>\r\nX-Filler: " + std::string(number * 7, 'f') +
           "\r\n\r\n.\r\n";
}

// The replies to TOP n 0 and LIST n.
std::string Replies(int number)
{
    const std::string n = std::to_string(number);
    return "+OK\r\n" + HeaderBlock(number) + "+OK " + n + " " + std::to_string(100 * number) + "\r\n";
}

ScriptedServer& LogsIn(ScriptedServer& server, const Lines& capabilities)
{
    server.Says("+OK ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("+OK logged in");
    server.Expects("CAPA");
    for (const std::string& line : capabilities)
        server.Says(line);
    return server;
}

const Lines Pipelines{"+OK Capability list follows", "TOP", "pipelining", "UIDL", "."};

// A client and a scripted server for one check.
struct CheckDialogue {
    CheckDialogue()
    {
        Client.Host = "127.0.0.1";
        Client.Username = "joe";
        Client.Password = "secret";
        Client.OnWork = [this](TIdComponent*, TWorkMode, int32_t count) { WorkCounts.push_back(count); };
    }

    // What a check does: CAPA, STAT, then the header block and size of every message.
    // Gives one "subject size" text per message.
    Lines Check()
    {
        Client.Port = Server.Start();
        Client.OpenConnection(-1);
        Client.AskCapabilities();
        const int32_t count = Client.CountMessages();
        Client.PlanHeaders(1, count);
        Lines messages;
        for (int32_t i = 1; i <= count; ++i) {
            TIdMessage message;
            Client.FetchHeader(i, message);
            messages.push_back(message.Subject + " " + std::to_string(Client.FetchSize(i)));
        }
        return messages;
    }

    ScriptedServer Server;
    TIdPOP3 Client;
    std::vector<int32_t> WorkCounts;
};

const Lines ThreeMessages{"message 1 100", "message 2 200", "message 3 300"};

} // namespace

TEST(Pop3Pipeline, APipeliningServerReceivesAWholeBatchBeforeItAnswers)
{
    CheckDialogue d;
    d.Client.PipelineWindow = 4;
    LogsIn(d.Server, Pipelines).Expects("STAT").Says("+OK 3 600");
    d.Server.Expects("TOP 1 0").Expects("LIST 1").Expects("TOP 2 0").Expects("LIST 2").Sends(Replies(1));
    // Half the window answered: the next batch goes out before the client waits again.
    d.Server.Expects("TOP 3 0").Expects("LIST 3").Sends(Replies(2) + Replies(3)).Expects("QUIT");
    EXPECT_EQ(d.Check(), ThreeMessages);
    EXPECT_TRUE(d.Client.Pipelining());
    d.Client.CloseConnection();
    EXPECT_EQ(d.Server.Finish(), NoFailures);
}

TEST(Pop3Pipeline, WithoutPipeliningEveryCommandWaitsForItsReply)
{
    const Lines withoutPipelining{"+OK", "TOP", "UIDL", "PIPELINING-NOT", "."};
    const Lines refused{"-ERR unknown command"};
    std::vector<int32_t> pipelinedWork;
    {
        CheckDialogue pipelined;
        LogsIn(pipelined.Server, Pipelines).Expects("STAT").Says("+OK 3 600");
        for (int i = 1; i <= 3; ++i)
            pipelined.Server.Expects("TOP " + std::to_string(i) + " 0").Expects("LIST " + std::to_string(i));
        pipelined.Server.Sends(Replies(1) + Replies(2) + Replies(3)).Expects("QUIT");
        EXPECT_EQ(pipelined.Check(), ThreeMessages);
        pipelined.Client.CloseConnection();
        EXPECT_EQ(pipelined.Server.Finish(), NoFailures);
        pipelinedWork = pipelined.WorkCounts;
    }
    for (const Lines* capabilities : {&withoutPipelining, &refused}) {
        CheckDialogue alternating;
        LogsIn(alternating.Server, *capabilities).ExpectsAlone("STAT").Says("+OK 3 600");
        for (int i = 1; i <= 3; ++i) {
            const std::string n = std::to_string(i);
            const std::string replies = Replies(i);
            const size_t list = replies.rfind("+OK");
            alternating.Server.ExpectsAlone("TOP " + n + " 0").Sends(replies.substr(0, list));
            alternating.Server.ExpectsAlone("LIST " + n).Sends(replies.substr(list));
        }
        alternating.Server.Expects("QUIT");
        EXPECT_EQ(alternating.Check(), ThreeMessages) << capabilities->front();
        EXPECT_FALSE(alternating.Client.Pipelining());
        alternating.Client.CloseConnection();
        EXPECT_EQ(alternating.Server.Finish(), NoFailures) << capabilities->front();
        EXPECT_EQ(alternating.WorkCounts, pipelinedWork) << "the same progress either way";
    }
}

TEST(Pop3Pipeline, RepliesSplitAcrossManySmallReadsAreMatchedInOrder)
{
    CheckDialogue d;
    LogsIn(d.Server, Pipelines).Expects("STAT").Says("+OK 3 600");
    for (int i = 1; i <= 3; ++i)
        d.Server.Expects("TOP " + std::to_string(i) + " 0").Expects("LIST " + std::to_string(i));
    d.Server.Trickles(Replies(1) + Replies(2) + Replies(3), 3).Expects("QUIT");
    EXPECT_EQ(d.Check(), ThreeMessages);
    d.Client.CloseConnection();
    EXPECT_EQ(d.Server.Finish(), NoFailures);
}

TEST(Pop3Pipeline, AReplyThatDoesNotFitDropsTheConnectionWithoutQuit)
{
    const struct {
        std::string Replies;
        std::string Error;
    } cases[] = {
        {"+OK\r\n" + HeaderBlock(1) + "+OK 2 200\r\n", "Reply out of step: \"+OK 2 200\" does not answer \"LIST 1\""},
        {"+OK\r\n" + HeaderBlock(1) + "Subject: slipped\r\n", "Unrecognized POP3 Response Header:\n\"ect: slipped\r\n\""},
    };
    for (const auto& failure : cases) {
        CheckDialogue dialogue;
        LogsIn(dialogue.Server, Pipelines).Expects("STAT").Says("+OK 2 600");
        dialogue.Server.Expects("TOP 1 0").Expects("LIST 1").Expects("TOP 2 0").Expects("LIST 2");
        dialogue.Server.Sends(failure.Replies);
        try {
            dialogue.Check();
            ADD_FAILURE() << failure.Error;
        } catch (const EIdException& error) {
            EXPECT_EQ(error.Message, failure.Error);
        }
        EXPECT_FALSE(dialogue.Client.IsConnected());
        dialogue.Client.CloseConnection();
        EXPECT_EQ(dialogue.Server.Finish(), NoFailures);
        EXPECT_EQ(dialogue.Server.Received().back(), "LIST 2") << failure.Error;
    }
}
