#pragma once
// The POP3 dialogue as text for --trace: what the client sends after "--> ", what the
// server sends after "<-- ", one line each, the password and whatever an AUTH exchange sends masked. Bytes arrive in
// whatever pieces the connection moves them; a line is written once it is complete.

#include <functional>
#include <string>
#include <string_view>

class TTrace {
public:
    // write receives each finished trace line (without a line end).
    explicit TTrace(std::function<void(const std::string&)> write) : FWrite(std::move(write)) {}

    void Sent(std::string_view bytes);
    void Received(std::string_view bytes);
    // A line about the connection itself, after "=== TLS ".
    void Note(const std::string& text);
    // Writes what is left of unfinished lines (a connection that ended mid-line).
    void Flush();

private:
    void Take(std::string& pending, std::string_view bytes, const char* prefix, bool mask);
    void WriteLine(std::string line, const char* prefix, bool mask);
    std::string MaskedLine(const std::string& line);

    std::function<void(const std::string&)> FWrite;
    std::string FSending;
    std::string FReceiving;
    bool FInAuthExchange = false;
};
