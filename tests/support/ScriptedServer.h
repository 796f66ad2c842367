#pragma once
// A scripted server on 127.0.0.1 (port 0) that plays one dialogue on its own thread and
// records what the client sent. Tests read like the conversation:
//
//     ScriptedServer server;
//     server.Says("+OK ready").Expects("USER joe").Says("-ERR no such user");
//     client.Port = server.Start();
//     ... drive the client ...
//     EXPECT_EQ(server.Finish(), std::vector<std::string>{});   // went to plan
//
// The dialogue is built before Start. The first step waits for a client; when the steps
// run out (or a step fails) the server closes the connection in an orderly way and keeps
// recording what the client still sends until it closes. Every wait is bounded, so a
// client that misbehaves ends the dialogue instead of hanging the test.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedServer {
public:
    ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    ~ScriptedServer();

    // The server sends the line followed by CR LF.
    ScriptedServer& Says(const std::string& line);
    // The server sends the bytes as they are (partial lines, NUL bytes, anything).
    ScriptedServer& Sends(const std::string& bytes);
    // The server sends the bytes a few at a time, each piece on its own, so the client
    // receives them in many small reads.
    ScriptedServer& Trickles(const std::string& bytes, size_t pieceSize);
    // The server sends the block again and again until totalBytes have gone out.
    ScriptedServer& Streams(const std::string& block, int64_t totalBytes);
    // The client must send this line (ended by LF, a CR before it is dropped).
    ScriptedServer& Expects(const std::string& line);
    // The client must send this line and then nothing more until it has had an answer:
    // one command at a time.
    ScriptedServer& ExpectsAlone(const std::string& line);
    // The server stays silent for a while.
    ScriptedServer& Stalls(std::chrono::milliseconds time);
    // Whose line comes first in TakesTurns.
    enum class Turn { Server, Client };
    // A dialogue in turns: the lines alternate between the server's (sent as by Says) and
    // the client's (expected as by Expects), the first line being first's.
    ScriptedServer& TakesTurns(Turn first, const std::vector<std::string>& lines);
    // The server closes in an orderly way here; what the client still sends is recorded.
    ScriptedServer& Closes();
    // The server aborts the connection (the client sees a reset).
    ScriptedServer& Resets();
    // The server closes this connection and waits for the next client.
    ScriptedServer& AcceptsNext();

    // Starts the dialogue; returns the port to connect to.
    int Start();
    int Port() const { return FPort; }
    // Waits for the dialogue to end, which includes the client closing its side (or
    // StepTimeout passing), so close the client first. Returns what did not go to plan
    // (empty when all did).
    std::vector<std::string> Finish();

    // Everything the client sent, as lines without their line ends, and as raw bytes.
    std::vector<std::string> Received() const;
    std::string ReceivedBytes() const;
    int Connections() const { return FConnections; }

    // How long any one step may wait for the client.
    std::chrono::milliseconds StepTimeout{5000};

private:
    using Step = std::function<bool()>;

    ScriptedServer& Add(Step step);
    void Play();
    bool AcceptClient();
    bool SendAll(const char* bytes, size_t count);
    bool ReadLine(std::string& line);
    enum class WaitResult { Ready, TimedOut, Stopped };
    WaitResult WaitFor(int socket, short events, std::chrono::milliseconds timeout);
    void CloseClient(bool abort);
    void DrainUntilClientCloses();
    void Fail(const std::string& failure);
    void Record(const char* bytes, size_t count);

    int FListener = -1;
    int FClient = -1;
    int FPort = 0;
    std::vector<Step> FSteps;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    std::atomic<int> FConnections{0};
    std::string FPending; // received, not yet taken by Expects
    mutable std::mutex FLock;
    std::string FReceived;
    std::vector<std::string> FFailures;
};
