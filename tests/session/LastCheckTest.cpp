// New mail since the last check: unique IDs from UIDL, the state file of each mailbox.
#include "LastCheck.h"
#include "SessionDialogue.h"
#include "TemporaryDirectory.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace Dialogue;

namespace {

std::string Message(int number)
{
    const std::string n = std::to_string(number);
    return "Subject: message " + n + "\r\nMessage-Id: <" + n + "@x>\r\n\r\nbody " + n + "\r\n";
}

// A check of messages 1 to count whose UIDL listing is the lines given; without lines
// the server refuses UIDL.
ScriptedServer& CheckWithUniqueIds(ScriptedServer& server, int count, const std::vector<std::string>& lines)
{
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK " + std::to_string(count) + " 1000").Expects("UIDL");
    if (lines.empty()) {
        server.Says("-ERR unknown command");
    } else {
        server.Says("+OK");
        for (const std::string& line : lines)
            server.Says(line);
        server.Says(".");
    }
    for (int number = 1; number <= count; ++number)
        Headers(server, number, Message(number));
    return server.Expects("QUIT");
}

class LastCheckTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        ::setenv("XDG_STATE_HOME", State.Path().c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_STATE_HOME");
        SessionTest::TearDown();
    }

    // Checks and compares with the last check; gives RememberCheck's note.
    std::string CheckAndRemember(int count, const std::vector<std::string>& lines)
    {
        ScriptedServer server;
        CheckWithUniqueIds(server, count, lines);
        const auto session = CreateSession(Account(server.Start()));
        CheckMailbox(session);
        EXPECT_EQ(server.Finish(), std::vector<std::string>{});
        return RememberCheck(*session, HeaderRecords());
    }

    static std::vector<std::string> UniqueIds()
    {
        std::vector<std::string> ids;
        for (const auto& record : HeaderRecords())
            ids.push_back(record->UniqueId);
        return ids;
    }

    static std::vector<bool> NewFlags()
    {
        std::vector<bool> flags;
        for (const auto& record : HeaderRecords())
            flags.push_back(record->New);
        return flags;
    }

    std::string StateFile() const
    {
        const std::filesystem::directory_iterator entries(State.Path() + "/kormoran");
        return entries->path();
    }

    TTemporaryDirectory State;
};

} // namespace

TEST_F(LastCheckTest, UidlListingsThatBreakTheRulesStillListEveryMessage)
{
    const std::string longest(70, 'L');
    const struct {
        const char* Name;
        std::vector<std::string> Lines;
        std::vector<std::string> Ids;
        std::vector<bool> New;
    } cases[] = {
        {"well formed", {"1 a", "2 b", "3 c"}, {"a", "b", "c"}, {true, true, true}},
        {"too long, bad characters",
         {"1 " + longest, "2 " + longest + "X", "3 b\x01x"},
         {longest, "", ""},
         {true, true, true}},
        {"a number twice, unlisted, out of range, garbage",
         {"3 c", "1 a", "1 again", "7 z", "0 y", "x y", "2"},
         {"a", "", "c"},
         {true, true, true}},
        {"shared IDs are never new", {"1 a", "2 a", "3 c"}, {"a", "a", "c"}, {false, false, true}},
        {"UIDL refused", {}, {"", "", ""}, {true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove_all(State.Path() + "/kormoran");
        EXPECT_EQ(CheckAndRemember(3, c.Lines), "");
        EXPECT_EQ(UniqueIds(), c.Ids);
        EXPECT_EQ(NewFlags(), c.New);
    }
}

TEST_F(LastCheckTest, OnlyMessagesTheLastCheckDidNotSeeAreNew)
{
    CheckAndRemember(2, {"1 a", "2 b"});
    EXPECT_EQ(NewFlags(), (std::vector<bool>{true, true}));
    CheckAndRemember(3, {"1 a", "2 b", "3 c"});
    EXPECT_EQ(NewFlags(), (std::vector<bool>{false, false, true}));
    // Without UIDL the identity is made of Message-Id, date and size.
    CheckAndRemember(3, {});
    EXPECT_EQ(NewFlags(), (std::vector<bool>{true, true, true}));
    CheckAndRemember(4, {});
    EXPECT_EQ(NewFlags(), (std::vector<bool>{false, false, false, true}));
}

TEST_F(LastCheckTest, AStateFileThatCannotBeUsedIsIgnoredWithANoteOnce)
{
    CheckAndRemember(2, {"1 a", "2 b"});
    const std::string file = StateFile();
    const std::string written = ReadBytes(file);
    const struct {
        const char* Name;
        std::string Bytes;
        const char* Reason;
    } cases[] = {
        {"damaged", written.substr(0, written.size() - 1) + "\x01\n", "poškozený"},
        {"cut short", written.substr(0, written.size() - 1), "poškozený"},
        {"another mailbox's", "kormoran-state 1\nmailbox other@host\na\nb\n", "patří jiné schránce"},
        {"another version", "kormoran-state 2\nwhatever\n", "jiná verze"},
        {"not ours", std::string(1000, '\0'), "poškozený"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(file, c.Bytes);
        EXPECT_NE(CheckAndRemember(2, {"1 a", "2 b"}).find(c.Reason), std::string::npos);
        EXPECT_EQ(NewFlags(), (std::vector<bool>{true, true}));
        EXPECT_EQ(CheckAndRemember(2, {"1 a", "2 b"}), "");
        EXPECT_EQ(NewFlags(), (std::vector<bool>{false, false}));
    }
}

TEST_F(LastCheckTest, ADiskThatFillsWhileWritingLosesNothingOfThePreviousFile)
{
    CheckAndRemember(1, {"1 a"});
    const std::string file = StateFile();
    const std::string previous = ReadBytes(file);
    std::vector<std::string> many;
    for (int number = 1; number <= 300; ++number)
        many.push_back(std::to_string(number) + " " + std::string(60, 'u') + std::to_string(number));
    // The disk is full past the previous file's size.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit limit = oldLimit;
    limit.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string note = CheckAndRemember(300, many);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(note.find("Stav kontroly se nepodařilo uložit"), std::string::npos) << note;
    EXPECT_EQ(ReadBytes(file), previous);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(State.Path() + "/kormoran"), {}), 1);
}

TEST_F(LastCheckTest, UniqueIdsConfirmTheMessageBeforeADeletion)
{
    const struct {
        const char* Name;
        std::string UidlReply;
        bool Deleted;
    } cases[] = {
        {"the same message", "+OK 2 b", true},
        {"another message under the number", "+OK 2 c", false},
        {"no message under the number", "-ERR no such message", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ScriptedServer server;
        CheckWithUniqueIds(server, 2, {"1 a", "2 b"}).AcceptsNext();
        Login(server).Expects("CAPA").Says("-ERR unknown command").Expects("UIDL 2").Says(c.UidlReply);
        if (c.Deleted)
            server.Expects("DELE 2").Says("+OK");
        server.Expects("QUIT").Says("+OK");
        CheckMailbox(CreateSession(Account(server.Start())));
        const auto record = HeaderRecords()[1];
        if (c.Deleted)
            EXPECT_TRUE(record->DeleteOnServer());
        else
            EXPECT_THROW(record->DeleteOnServer(), EMailboxChanged);
        EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    }
}
