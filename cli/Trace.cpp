#include "Trace.h"

#include <utility>

namespace {

const char* const ClientPrefix = "--> ";
const char* const ServerPrefix = "<-- ";

bool IsPasswordLine(const std::string& line)
{
    if (line.size() < 4)
        return false;
    std::string command = line.substr(0, 4);
    for (char& c : command)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return command == "PASS" && (line.size() == 4 || line[4] == ' ');
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
    if (mask && IsPasswordLine(line))
        line = "PASS ********";
    FWrite(prefix + line);
}
