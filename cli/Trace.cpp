#include "Trace.h"

#include <string>
#include <utility>

namespace {

const char* const ClientPrefix = "--> ";
const char* const ServerPrefix = "<-- ";

bool IsCommand(const std::string& line, const char* name)
{
    const size_t length = std::char_traits<char>::length(name);
    if (line.size() < length)
        return false;
    std::string command = line.substr(0, length);
    for (char& c : command)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return command == name && (line.size() == length || line[length] == ' ');
}

// "AUTH PLAIN ********": the mechanism stays readable, what follows it does not.
std::string MaskedAuth(const std::string& line)
{
    const size_t mechanismEnd = line.find(' ', 5);
    return mechanismEnd == std::string::npos ? line : line.substr(0, mechanismEnd) + " ********";
}

// A server's verdict ends an AUTH exchange; its "+ " challenges do not.
bool EndsAuthExchange(const std::string& line)
{
    return IsCommand(line, "+OK") || IsCommand(line, "-ERR");
}

} // namespace

void TTrace::Sent(std::string_view bytes)
{
    Take(FSending, bytes, ClientPrefix, true);
}

void TTrace::Received(std::string_view bytes)
{
    Take(FReceiving, bytes, ServerPrefix, false);
}

std::string TTrace::MaskedLine(const std::string& line)
{
    if (IsCommand(line, "PASS"))
        return "PASS ********";
    if (IsCommand(line, "AUTH")) {
        FInAuthExchange = true;
        return MaskedAuth(line);
    }
    // Every answer to a challenge may carry a secret.
    if (FInAuthExchange)
        return "********";
    return line;
}

void TTrace::Note(const std::string& text)
{
    FWrite("=== TLS " + text);
}

void TTrace::Flush()
{
    if (!FSending.empty())
        WriteLine(std::exchange(FSending, {}), ClientPrefix, true);
    if (!FReceiving.empty())
        WriteLine(std::exchange(FReceiving, {}), ServerPrefix, false);
}

void TTrace::Take(std::string& pending, std::string_view bytes, const char* prefix, bool mask)
{
    size_t start = 0;
    for (size_t lf = bytes.find('\n'); lf != std::string_view::npos; lf = bytes.find('\n', start)) {
        pending.append(bytes.substr(start, lf - start));
        if (!pending.empty() && pending.back() == '\r')
            pending.pop_back();
        WriteLine(std::exchange(pending, {}), prefix, mask);
        start = lf + 1;
    }
    pending.append(bytes.substr(start));
}

void TTrace::WriteLine(std::string line, const char* prefix, bool mask)
{
    if (mask)
        line = MaskedLine(line);
    else if (FInAuthExchange && EndsAuthExchange(line))
        FInAuthExchange = false;
    FWrite(prefix + line);
}
