#pragma once
// Helpers of the message tests: a message client over the in-memory transport, the
// wire form of a message as a POP3 server sends it, and file bytes with their hash.

#include <cstdint>
#include <string>
#include <string_view>

#include "IdIOHandlerMemory.h"
#include "IdMessageClient.h"

class TIdMessage;
class TIdMessagePart;

// The message as a server sends it after RETR: CR LF line ends, leading dots doubled,
// then the "." line.
std::string WireBytes(std::string_view message);

struct MemoryMailClient {
    MemoryMailClient() { Client.SetIOHandler(&Handler); }

    // Feeds the message in wire form and reads it as after RETR: the header block, and
    // the body when a blank line ended the block.
    void Retrieve(TIdMessage& message, std::string_view messageBytes);

    // Declared first so that it outlives the client that uses it.
    TIdIOHandlerMemory Handler;
    TIdMessageClient Client;
};

// Reads a file of tests/data as after RETR.
void RetrieveTestMessage(TIdMessage& message, const std::string& name);

std::string ReadFileBytes(const std::string& path);
// 64-bit FNV-1a.
uint64_t Fnv1a(std::string_view bytes);
// The attachment's name and the hash of its stored data, or of the text part's lines.
std::string DescribePart(const TIdMessagePart& part);
