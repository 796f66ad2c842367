#include "LastCheck.h"

#include "Convert.h"
#include "FileContents.h"
#include "FileLocations.h"
#include "IdHashMessageDigest.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <sys/stat.h>

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

bool IsIdentity(std::string_view line)
{
    return !line.empty() && line.size() <= 70
           && std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

std::vector<std::string_view> SplitLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A state file as read: its identities are views of the bytes it was parsed from, so a
// large mailbox's file costs no string per message.
struct TLastCheckViews {
    bool Known = false;
    std::vector<std::string_view> Identities;
    std::string Note;
};

// The identities of the file, or the reason it is not usable.
TLastCheckViews ParseLastCheck(std::string_view bytes, const std::string& mailbox, const std::string& path)
{
    TLastCheckViews result;
    std::vector<std::string_view> lines = SplitLines(bytes);
    const char* problem = nullptr;
    if (lines.empty() || !lines[0].starts_with("kormoran-state "))
        problem = Damaged.c_str();
    else if (lines[0] != FileVersionLine)
        problem = OtherVersion.c_str();
    else if (lines.size() < 2 || !lines[1].starts_with(MailboxPrefix) || bytes.back() != '\n')
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

// Reads the mailbox's state file into bytes, which the identities returned are views of.
TLastCheckViews ReadLastCheckOf(const std::string& mailbox, std::string& bytes)
{
    const std::string path = StateFilePath(mailbox);
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && (!S_ISREG(status.st_mode) || status.st_size > MostFileBytes))
        return {false, {}, Filled(UnusableNote, path, Damaged)};
    try {
        auto contents = ReadFileContents(path);
        if (!contents)
            return {};
        bytes = std::move(*contents);
        return ParseLastCheck(bytes, mailbox, path);
    } catch (const std::exception& error) {
        return {false, {}, Filled(UnusableNote, path, error.what())};
    }
}

// The record's unique ID where it lies, else an identity made in made, which keeps it
// where it is.
std::string_view IdentityIn(const TMessageHeader& record, std::deque<std::string>& made)
{
    if (!record.UniqueId.empty())
        return record.UniqueId;
    made.push_back(IdentityOf(record));
    return made.back();
}

// Marks the records New whose identity the previous check of the mailbox did not see and
// no other record shares; returns the note on the previous check. Sorted views instead
// of hash sets: a check of 50,000 messages keeps its identities at 16 bytes each.
std::string MarkNew(const std::vector<std::shared_ptr<TMessageHeader>>& records,
                    const std::vector<std::string_view>& identities, const std::string& mailbox)
{
    std::string previousBytes;
    TLastCheckViews previous = ReadLastCheckOf(mailbox, previousBytes);
    std::vector<std::string_view>& seen = previous.Identities;
    std::sort(seen.begin(), seen.end());
    std::vector<std::string_view> sorted = identities;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < records.size(); ++i) {
        const auto [first, end] = std::equal_range(sorted.begin(), sorted.end(), identities[i]);
        records[i]->New = end - first == 1 && !std::binary_search(seen.begin(), seen.end(), identities[i]);
    }
    return previous.Note;
}

} // namespace

std::string IdentityOf(const TMessageHeader& record)
{
    if (!record.UniqueId.empty())
        return record.UniqueId;
    const TIdMessage& message = *record.Msg;
    std::string identity = "~";
    identity += TIdHashMessageDigest5::HashValueAsHex(message.MessageId + "\n" + message.RawHeaders.ValueOf("Date")
                                                      + "\n" + IntToStr(message.Tag));
    return identity;
}

TLastCheck ReadLastCheck(const TPOP3& session)
{
    std::string bytes;
    const TLastCheckViews views = ReadLastCheckOf(MailboxName(session), bytes);
    return {views.Known, std::vector<std::string>(views.Identities.begin(), views.Identities.end()), views.Note};
}

std::string RememberCheck(const TPOP3& session, const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    const std::string mailbox = MailboxName(session);
    std::deque<std::string> made;
    std::vector<std::string_view> identities;
    identities.reserve(records.size());
    for (const auto& record : records)
        identities.push_back(IdentityIn(*record, made));
    const std::string previousNote = MarkNew(records, identities, mailbox);
    std::string file = FileVersionLine + "\n" + MailboxPrefix + mailbox + "\n";
    size_t fileBytes = file.size();
    for (const std::string_view identity : identities)
        fileBytes += identity.size() + 1;
    file.reserve(fileBytes);
    for (const std::string_view identity : identities)
        file.append(identity).append("\n");
    const std::string path = StateFilePath(mailbox);
    try {
        CreateDirectoryFor(path);
        ReplaceFileContents(path, file, 0600);
    } catch (const std::exception& error) {
        const std::string notKept = Filled(NotKeptNote, path, error.what());
        return previousNote.empty() ? notKept : previousNote + " " + notKept;
    }
    return previousNote;
}
