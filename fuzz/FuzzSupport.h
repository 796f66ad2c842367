#pragma once
// What the harnesses share: the input as text, a message client over the in-memory
// transport, and a private directory for the attachments' temporary files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "IdIOHandlerMemory.h"
#include "IdMessageClient.h"

class TIdDecoder;
class TIdMessage;

inline std::string_view InputText(const uint8_t* data, size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Stops the run the way a sanitizer would, so the input is saved as a crash.
[[noreturn]] void FuzzFailure(const char* what);

// Points the temporary files at a fresh directory of this process; call it from
// LLVMFuzzerInitialize, before the first temporary name is made.
void UsePrivateTempDirectory();
// A path in that directory.
std::string PrivateTempPath(const std::string& fileName);
// Fails when a temporary file outlived the message that made it.
void ExpectNoTempFiles();

// The client reads what a server sends: every input byte, then the end of the input
// counts as the peer's close. Small receives make the line reader refill mid-line.
struct FuzzMailClient {
    explicit FuzzMailClient(std::string_view serverBytes);

    // Declared first so that it outlives the client that uses it.
    TIdIOHandlerMemory Handler;
    TIdMessageClient Client;
};

// Touches everything the program shows of a read message: the fields, every part and
// the stored data of every attachment.
void WalkMessage(TIdMessage& message);

// Hands every line to one decoder, as the part reader does for one part: a quoted-printable line with
// its CR LF, any other line without it and only when it is not empty. Fails when a line
// gives more bytes than it holds (a uuencoded line announces at most 64).
void DecodeEachLine(TIdDecoder& decoder, std::string_view text, bool withLineEnds = false);
