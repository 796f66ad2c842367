#include "SenderLists.h"

#include "FileContents.h"

#include <cctype>
#include <sstream>

namespace {

const std::string AllowWord = "allow ";
const std::string SuspectWord = "suspect ";
// A file that is not ours stops being read here.
constexpr size_t EntryLimit = 100000;

std::string Normalized(std::string entry)
{
    while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.back())))
        entry.pop_back();
    while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.front())))
        entry.erase(0, 1);
    for (char& c : entry)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return entry;
}

} // namespace

std::string DomainEntry(const std::string& address)
{
    const std::string domain = AddressDomain(address);
    return domain.empty() ? std::string() : "@" + domain;
}

TSenderLists TSenderLists::Load(const std::string& path)
{
    TSenderLists lists;
    const auto contents = ReadFileContents(path);
    if (!contents)
        return lists;
    std::istringstream lines(*contents);
    std::string line;
    while (std::getline(lines, line) && lists.FEntries.size() < EntryLimit) {
        if (line.starts_with(AllowWord))
            lists.Set(line.substr(AllowWord.size()), ssAllowed);
        else if (line.starts_with(SuspectWord))
            lists.Set(line.substr(SuspectWord.size()), ssSuspicious);
    }
    return lists;
}

void TSenderLists::Save(const std::string& path) const
{
    std::string text;
    for (const auto& [entry, standing] : FEntries)
        text += (standing == ssAllowed ? AllowWord : SuspectWord) + entry + "\n";
    CreateDirectoryFor(path);
    ReplaceFileContents(path, text, 0600);
}

void TSenderLists::Set(const std::string& entry, TSenderStanding standing)
{
    const std::string key = Normalized(entry);
    if (key.empty() || key == "@" || key.find_first_of("\r\n") != std::string::npos)
        return;
    if (standing == ssUnlisted)
        FEntries.erase(key);
    else
        FEntries[key] = standing;
}

TSenderStanding TSenderLists::Lookup(const std::string& entry) const
{
    const auto found = FEntries.find(entry);
    return found == FEntries.end() ? ssUnlisted : found->second;
}

TSenderStanding TSenderLists::StandingOf(const std::string& address) const
{
    const std::string key = Normalized(address);
    if (key.empty())
        return ssUnlisted;
    if (const TSenderStanding standing = Lookup(key); standing != ssUnlisted)
        return standing;
    return Lookup(DomainEntry(key));
}

bool CountsAsSuspicious(const TVerdictMarks& verdict, TSenderStanding standing)
{
    if (standing == ssAllowed)
        return false;
    return standing == ssSuspicious || verdict.Flagged();
}
