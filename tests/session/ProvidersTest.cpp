// The provider presets as shipped, and what a refused log-in at such a provider says.
#include "Providers.h"
#include "SessionDialogue.h"

#include "IdException.h"

#include <gtest/gtest.h>

TEST(Providers, TheShippedTableKnowsTheProvidersOfTheUsers)
{
    const TProviderTable table = TProviderTable::Load(TEST_DATA_DIR "/../../dist/providers");
    struct Case {
        const char* address;
        const char* host; // nullptr: no preset at all
        int32_t port;
        bool localUser;
        const char* hint;
    };
    const Case cases[] = {
        {"Joe@GMAIL.com", "pop.gmail.com", 995, false, "POP3 je třeba zapnout v nastavení schránky. Je potřeba heslo pro aplikace."},
        {"jana@post.cz", "pop3.seznam.cz", 995, false, ""},
        {"hans@web.de", "pop3.web.de", 995, true, "POP3 je třeba zapnout v nastavení schránky."},
        {"ann@zohomail.eu", "pop.zoho.eu", 995, false, "POP3 je třeba zapnout v nastavení schránky."},
        {"tim@me.com", "", 0, false, "Tento poskytovatel POP3 nenabízí."},
        {"eva@centrum.cz", nullptr, 0, false, ""},
        {"joe@example.org", nullptr, 0, false, ""},
        {"gmail.com", "pop.gmail.com", 995, false, "POP3 je třeba zapnout v nastavení schránky. Je potřeba heslo pro aplikace."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const TProviderPreset* preset = table.Find(c.address);
        ASSERT_EQ(preset != nullptr, c.host != nullptr);
        if (!preset)
            continue;
        EXPECT_EQ(preset->Host, c.host);
        EXPECT_EQ(preset->Port, c.port);
        EXPECT_EQ(preset->UserIsLocalPart, c.localUser);
        EXPECT_EQ(HintText(*preset), c.hint);
        if (!preset->Host.empty())
            EXPECT_EQ(preset->Security, csImplicitTls);
    }

    // Lines that cannot be read are left out, the rest stays.
    const TProviderTable damaged = TProviderTable::Parse("bad line\n"
                                                         "a.cz\thost\tport\ttls\tpassword\taddress\t-\n"
                                                         "b.cz\thost\t995\tmaybe\tpassword\taddress\t-\n"
                                                         "c.cz\tpop.c.cz\t110\tstarttls\tpassword\taddress\t-\r\n");
    EXPECT_EQ(damaged.Count(), 1U);
    ASSERT_NE(damaged.Find("x@c.cz"), nullptr);
    EXPECT_EQ(damaged.Find("x@c.cz")->Security, csStartTls);
}

TEST(Providers, ARefusedLogInAtAKnownProviderRepeatsItsHint)
{
    ScriptedServer server;
    server.Says("+OK ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("-ERR [AUTH] Invalid credentials");
    server.Expects("QUIT");
    TPOP3Rec account = Dialogue::Account(server.Start());
    account.Address = "joe@gmail.com";
    try {
        CheckMailbox(CreateSession(account));
        FAIL() << "the log-in was refused";
    } catch (const EIdProtocolReplyError& refusal) {
        EXPECT_EQ(refusal.Message,
                  " [AUTH] Invalid credentials\r\nPOP3 je třeba zapnout v nastavení schránky. Je potřeba heslo pro aplikace.");
    }
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
}
