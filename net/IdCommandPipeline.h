#pragma once
// Commands sent ahead of their replies, for a server that takes them that way (POP3
// PIPELINING, RFC 2449). Planned commands go out in batches, each batch in one write on
// the connection's usual write path, so every transport carries them. At most Window
// commands are outstanding (sent, their reply not yet taken): the commands in flight stay
// far below what the socket buffers hold, so the client's write never waits for a server
// that is itself waiting for the client to read. Replies are taken strictly in the order
// the commands were sent; the pipeline only keeps that order, the caller reads the replies.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

class TIdTCPConnection;

class TIdCommandPipeline {
public:
    // Gives the next command of a plan, or false when the plan has no more. Commands are
    // asked for only as the window frees up, so a long plan costs no memory.
    using TCommandSource = std::function<bool(std::string& command)>;

    explicit TIdCommandPipeline(TIdTCPConnection& connection) : FConnection(connection) {}

    // The commands to send from now on, at most window of them outstanding at a time.
    void Plan(TCommandSource source, int32_t window);
    // Whether the next reply answers command: the oldest outstanding command, or else the
    // next planned one.
    bool IsNext(const std::string& command);
    // Commands outstanding or planned.
    bool Active();
    // Sends the next batch when at most half the window is outstanding (so batches stay
    // large and the server always has work queued), then gives the command the next
    // reply answers. Raises std::logic_error when no command is outstanding or planned.
    const std::string& AwaitReply();
    // The reply to the oldest outstanding command has been read.
    void ReplyTaken();
    // No planned command is sent any more; the outstanding ones are still answered.
    void StopSending();
    int32_t Outstanding() const { return static_cast<int32_t>(FOutstanding.size()); }
    // Forgets everything, for a connection that is gone.
    void Clear();

private:
    bool Peek();
    void SendBatch();

    TIdTCPConnection& FConnection;
    TCommandSource FSource;
    int32_t FWindow = 1;
    // Taken from the source, not sent yet.
    std::optional<std::string> FNext;
    std::deque<std::string> FOutstanding;
};
