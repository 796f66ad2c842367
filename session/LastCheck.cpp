#include "LastCheck.h"

#include "Convert.h"
#include "FileContents.h"
#include "FileLocations.h"
#include "IdHashMessageDigest.h"

#include <algorithm>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace {

const std::string FileVersionLine = "kormoran-state 1";
const std::string MailboxPrefix = "mailbox ";
const std::string UnusableNote = "Soubor %s se nedal použít (%s); všechny zprávy jsou označeny jako nové.";
const std::string Damaged = "poškozený";
const std::string Foreign = "patří jiné schránce";
const std::string OtherVersion = "jiná verze";
const std::string NotKeptNote = "Stav kontroly se nepodařilo uložit do %s: %s";
// Far above any mailbox's identities; a bigger file is not one of ours.
constexpr off_t MostFileBytes = 64 << 20;

std::string Filled(std::string text, const std::string& first, const std::string& second)
{
    text.replace(text.find("%s"), 2, first);
    text.replace(text.find("%s"), 2, second);
    return text;
}

// The mailbox, not the account entry: two entries for one mailbox share what they saw,
// and so do the plain and the encrypted port of one server.
std::string MailboxName(const TPOP3& session)
{
    std::string name = session.Username + "@" + session.Host;
    std::replace_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, '?');
    return name;
}

// Readable, safe as a file name, and distinct for distinct mailboxes.
std::string StateFilePath(const std::string& mailbox)
{
    std::string readable;
    for (const char c : mailbox.substr(0, 80)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
                           || c == '@' || c == '-' || c == '_';
        readable += plain ? c : '_';
    }
    return StateDirectory() + "/" + readable + "-" + TIdHashMessageDigest5::HashValueAsHex(mailbox).substr(0, 12)
           + ".state";
}

bool IsIdentity(const std::string& line)
{
    return !line.empty() && line.size() <= 70
           && std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

std::vector<std::string> SplitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The identities of the file, or the reason it is not usable.
TLastCheck ParseLastCheck(const std::string& bytes, const std::string& mailbox, const std::string& path)
{
    TLastCheck result;
    std::vector<std::string> lines = SplitLines(bytes);
    const char* problem = nullptr;
    if (lines.empty() || lines[0].rfind("kormoran-state ", 0) != 0)
        problem = Damaged.c_str();
    else if (lines[0] != FileVersionLine)
        problem = OtherVersion.c_str();
    else if (lines.size() < 2 || lines[1].rfind(MailboxPrefix, 0) != 0 || bytes.back() != '\n')
        problem = Damaged.c_str();
    else if (lines[1] != MailboxPrefix + mailbox)
        problem = Foreign.c_str();
    else if (!std::all_of(lines.begin() + 2, lines.end(), IsIdentity))
        problem = Damaged.c_str();
    if (problem) {
        result.Note = Filled(UnusableNote, path, problem);
        return result;
    }
    result.Known = true;
    lines.erase(lines.begin(), lines.begin() + 2);
    result.Identities = std::move(lines);
    return result;
}

TLastCheck ReadLastCheckOf(const std::string& mailbox)
{
    const std::string path = StateFilePath(mailbox);
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && (!S_ISREG(status.st_mode) || status.st_size > MostFileBytes))
        return {false, {}, Filled(UnusableNote, path, Damaged)};
    try {
        const auto bytes = ReadFileContents(path);
        if (!bytes)
            return {};
        return ParseLastCheck(*bytes, mailbox, path);
    } catch (const std::exception& error) {
        return {false, {}, Filled(UnusableNote, path, error.what())};
    }
}

} // namespace

std::string IdentityOf(const TMessageHeader& record)
{
    if (!record.UniqueId.empty())
        return record.UniqueId;
    const TIdMessage& message = *record.Msg;
    return "~" + TIdHashMessageDigest5::HashValueAsHex(message.MessageId + "\n" + message.RawHeaders.ValueOf("Date")
                                                       + "\n" + IntToStr(message.Tag));
}

TLastCheck ReadLastCheck(const TPOP3& session)
{
    return ReadLastCheckOf(MailboxName(session));
}

std::string RememberCheck(const TPOP3& session, const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    const std::string mailbox = MailboxName(session);
    const TLastCheck previous = ReadLastCheckOf(mailbox);
    // Views of the identities, not copies: a large mailbox's check holds them all at once.
    const std::unordered_set<std::string_view> seen(previous.Identities.begin(), previous.Identities.end());
    std::vector<std::string> identities;
    identities.reserve(records.size());
    std::string file = FileVersionLine + "\n" + MailboxPrefix + mailbox + "\n";
    for (const auto& record : records) {
        identities.push_back(IdentityOf(*record));
        file += identities.back() + "\n";
    }
    std::unordered_map<std::string_view, int32_t> uses;
    uses.reserve(identities.size());
    for (const std::string& identity : identities)
        ++uses[identity];
    for (size_t i = 0; i < records.size(); ++i)
        records[i]->New = !seen.contains(identities[i]) && uses[identities[i]] == 1;
    const std::string path = StateFilePath(mailbox);
    try {
        CreateDirectoryFor(path);
        ReplaceFileContents(path, file, 0600);
    } catch (const std::exception& error) {
        const std::string notKept = Filled(NotKeptNote, path, error.what());
        return previous.Note.empty() ? notKept : previous.Note + " " + notKept;
    }
    return previous.Note;
}
