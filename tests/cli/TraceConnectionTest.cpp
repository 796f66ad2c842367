#include "TraceConnection.h"

#include "IdTCPClient.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

TEST(TraceConnection, EveryConnectionOfAClientIsTracedBothWays)
{
    std::vector<std::string> lines;
    TTrace trace([&](const std::string& line) { lines.push_back(line); });
    TTracingIOHandler transport(trace);

    ScriptedServer server;
    server.Says("+OK hi").Expects("PASS secret").Says("+OK").AcceptsNext().Says("+OK again").Expects("QUIT");
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Start();
    client.SetIOHandler(&transport);
    client.OpenConnection();
    EXPECT_EQ(client.ReadLine(), "+OK hi");
    client.WriteLine("PASS secret");
    EXPECT_EQ(client.ReadLine(), "+OK");
    client.CloseConnection();
    client.OpenConnection();
    EXPECT_EQ(client.ReadLine(), "+OK again");
    client.WriteLine("QUIT");
    client.CloseConnection();
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_EQ(lines, (std::vector<std::string>{"<-- +OK hi", "--> PASS ********", "<-- +OK", "<-- +OK again",
                                               "--> QUIT"}));
}
