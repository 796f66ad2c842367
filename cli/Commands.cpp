#include "Commands.h"

#include "Login.h"

#include "Convert.h"
#include "DateText.h"
#include "IdStack.h"
#include "JsonLine.h"
#include "LastCheck.h"
#include "MessageText.h"
#include "AccountCommands.h"
#include "Trust.h"

#include <iostream>

#include <algorithm>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace {

const std::string NoSuchMessage = "Zpráva %d ve schránce není.";
const std::string NotAnAttachment = "Část %d zprávy není příloha.";
const std::string FileExists = "Soubor už existuje, nepřepíšu ho: ";
const std::string AskDeleteMany = "Vymazat vybrané zprávy, opravdu?";
const std::string AskDeleteOne = "Vymazat vybranou zprávu, opravdu?";
const std::string NothingDeleted = "Nic nebylo vymazáno.";
const std::string DeletedText = "Vymazány zprávy:";
const std::string KeptText = "Nevymazány zprávy:";
const std::string NoAnswer = "Žádná odpověď, nic nebylo vymazáno.";
const std::string StandardOutput = "-";
const std::string PlainPasswordWarning = "Varování: heslo šlo k serveru %s nešifrovaně.";
const std::string NeverChecked =
    "Schránka ještě nebyla zkontrolována příkazem check, čísla zpráv nejsou známa; nic nebylo vymazáno.";
const std::string NotTheListedOne =
    "Zpráva %d už není ta, kterou vypsala poslední kontrola (%s); nic nebylo vymazáno. Zkontrolujte schránku znovu.";
const std::string ListedOneMoved = " Ta je teď zprávou %d.";
const std::string ListedOneGone = " Ta už ve schránce není.";
const std::string NoSuchUniqueId = "Zpráva s jedinečným ID %s ve schránce není; nic nebylo vymazáno.";
const std::string SharedUniqueId = "Jedinečné ID %s má víc zpráv; nic nebylo vymazáno.";
// The exit statuses of check: 0 with new mail, 3 without (1 on errors, as every command).
constexpr int NewMailStatus = 0;
constexpr int NoNewMailStatus = 3;
constexpr int FailureStatus = 1;

std::string WithNumber(const std::string& text, int32_t number)
{
    std::string result = text;
    result.replace(result.find("%d"), 2, IntToStr(number));
    return result;
}

std::string WithText(const std::string& text, const std::string& inserted)
{
    std::string result = text;
    result.replace(result.find("%s"), 2, inserted);
    return result;
}

// A complete check keeps message n at index n - 1.
std::shared_ptr<TMessageHeader> RecordOfMessage(int32_t number)
{
    const auto& records = HeaderRecords();
    if (number >= 1 && static_cast<size_t>(number) <= records.size() && records[number - 1]->Number == number)
        return records[number - 1];
    for (const auto& record : records)
        if (record->Number == number)
            return record;
    throw Exception(WithNumber(NoSuchMessage, number));
}

// A password that crossed a network in plain text is worth a word; one that stayed on
// this machine is not.
void WarnOfPlainPassword(const TPOP3& session, const TCommandContext& context)
{
    if (!session.PasswordSentUnencrypted || TIdStack::IsLoopbackAddress(session.ConnectedAddress))
        return;
    std::string warning = PlainPasswordWarning;
    warning.replace(warning.find("%s"), 2, session.Host);
    context.Err << TerminalText(warning) << '\n';
}

std::shared_ptr<TPOP3> CheckAccount(const std::string& account, const TCommandContext& context)
{
    TPOP3Rec record = RecordFromLines(SelectAccount(context.Accounts, account));
    if (context.Password)
        record.Password = *context.Password;
    if (context.AccessToken)
        record.Login = lmOAuth2;
    const auto session = CreateSession(record);
    if (context.AccessToken)
        session->GivenAccessToken = *context.AccessToken;
    if (context.Transport)
        session->SetIOHandler(context.Transport);
    try {
        CheckMailbox(session);
    } catch (...) {
        WarnOfPlainPassword(*session, context);
        throw;
    }
    WarnOfPlainPassword(*session, context);
    return session;
}

void ListAccounts(const TCommandContext& context)
{
    for (size_t i = 0; i < context.Accounts.size(); ++i) {
        const TAccountLines& account = context.Accounts[i];
        std::string line = IntToStr(static_cast<int32_t>(i + 1));
        for (const std::string* field : {&account.Address, &account.Host, &account.Port, &account.User})
            line += '\t' + TabField(*field);
        // The file is anybody's text: an escape sequence in it must not steer the terminal.
        context.Out << VisibleControls(line) << '\n';
    }
}

// Checks one account, keeps what it saw for the next check and lists its messages;
// returns whether any is new.
bool CheckAndList(const std::string& account, const std::string& address, const TCommandLine& line,
                  const TCommandContext& context)
{
    const auto session = CheckAccount(account, context);
    const std::string note = RememberCheck(*session, HeaderRecords());
    if (!note.empty())
        context.Err << TerminalText(note) << '\n';
    bool anyNew = false;
    for (const auto& record : HeaderRecords()) {
        anyNew = anyNew || record->New;
        if (line.Quiet || (line.NewOnly && !record->New))
            continue;
        context.Out << (line.Json ? JsonLine(*record, address) : CheckLine(*record, context.LocalDates)) << '\n';
        if (!line.Json)
            for (const std::string& preview : record->Preview)
                context.Out << '\t' << VisibleControls(TabField(preview)) << '\n';
    }
    return anyNew;
}

// Without an account every account is checked in turn; one that fails is reported with
// its address and the others are still checked.
int Check(const TCommandLine& line, const TCommandContext& context)
{
    if (!line.Arguments.empty()) {
        const std::string address = SelectAccount(context.Accounts, line.Arguments[0]).Address;
        return CheckAndList(line.Arguments[0], address, line, context) ? NewMailStatus : NoNewMailStatus;
    }
    bool anyNew = false;
    bool anyFailed = false;
    for (size_t i = 0; i < context.Accounts.size(); ++i) {
        const std::string& address = context.Accounts[i].Address;
        if (!line.Quiet && !line.Json)
            context.Out << "== " << TerminalText(address) << '\n';
        try {
            anyNew = CheckAndList(IntToStr(static_cast<int32_t>(i + 1)), address, line, context) || anyNew;
        } catch (const std::exception& error) {
            context.Out.flush();
            context.Err << TerminalText(address + ": " + error.what()) << '\n';
            anyFailed = true;
        }
    }
    if (anyFailed)
        return FailureStatus;
    return anyNew ? NewMailStatus : NoNewMailStatus;
}

void Show(const TCommandLine& line, const TCommandContext& context)
{
    CheckAccount(line.Arguments[0], context);
    const auto record = RecordOfMessage(StrToInt(line.Arguments[1]));
    record->Download();
    if (!record->DownloadNote().empty())
        context.Err << TerminalText(record->DownloadNote()) << '\n';
    const std::vector<std::string> verdict = JudgeMessage(*record->Msg).Lines();
    for (const std::string& verdictLine : verdict)
        context.Out << TerminalText(verdictLine) << '\n';
    if (!verdict.empty())
        context.Out << '\n';
    context.Out << TerminalText(record->GetText());
}

bool PathExists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// The attachment's decoded data as it is, for a pipe.
void CopyToOutput(const TIdAttachment& attachment, std::ostream& out)
{
    const bool copied = attachment.ReadData([&](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return static_cast<bool>(out);
    });
    out.flush();
    if (!copied || !out)
        throw EIdException("Error saving attachment.");
}

void Save(const TCommandLine& line, TCommandContext& context)
{
    const std::string& file = line.Arguments[3];
    const bool toOutput = file == StandardOutput;
    if (!toOutput && PathExists(file))
        throw Exception(FileExists + file);
    CheckAccount(line.Arguments[0], context);
    const auto record = RecordOfMessage(StrToInt(line.Arguments[1]));
    record->Download();
    const int32_t part = StrToInt(line.Arguments[2]);
    TIdMessageParts& parts = record->Msg->Parts();
    const auto* attachment =
        part < parts.Count() ? dynamic_cast<const TIdAttachment*>(&parts[part]) : nullptr;
    if (!attachment)
        throw Exception(WithNumber(NotAnAttachment, part));
    if (toOutput)
        return CopyToOutput(*attachment, context.Out);
    context.Ui.SaveFileName = file;
    record->SaveAttachment(AttachmentLink(attachment->AttachmentName, part));
}

// A deletion that failed part-way says which messages went and which stayed, by the
// numbers the user gave (a carried-out deletion renumbers the rest).
void DeleteWithReport(const std::vector<std::shared_ptr<TMessageHeader>>& chosen, TCommandContext& context)
{
    std::vector<int32_t> numbers;
    for (const auto& record : chosen)
        numbers.push_back(record->Number);
    try {
        DeleteMessages(chosen);
    } catch (...) {
        std::string deleted;
        std::string kept;
        for (size_t i = 0; i < chosen.size(); ++i)
            (chosen[i]->Deleted ? deleted : kept) += ' ' + IntToStr(numbers[i]);
        if (!deleted.empty())
            context.Err << TerminalText(DeletedText + deleted) << '\n';
        if (!kept.empty())
            context.Err << TerminalText(KeptText + kept) << '\n';
        throw;
    }
}

// The message under number must be the one the last check listed under it; otherwise
// the user would delete a message never seen.
void RequireListed(const TMessageHeader& record, const TLastCheck& listed)
{
    if (!listed.Known)
        throw Exception(NeverChecked);
    const size_t index = static_cast<size_t>(record.Number) - 1;
    const std::string seen = index < listed.Identities.size() ? listed.Identities[index] : std::string("?");
    if (IdentityOf(record) == seen)
        return;
    std::string text = WithText(WithNumber(NotTheListedOne, record.Number), seen);
    const auto& records = HeaderRecords();
    const auto now = std::find_if(records.begin(), records.end(),
                                  [&](const auto& candidate) { return IdentityOf(*candidate) == seen; });
    text += now == records.end() ? ListedOneGone : WithNumber(ListedOneMoved, (*now)->Number);
    throw Exception(text);
}

std::vector<std::shared_ptr<TMessageHeader>> ChosenByNumber(const TCommandLine& line, const TPOP3& session)
{
    const TLastCheck listed = ReadLastCheck(session);
    std::vector<std::shared_ptr<TMessageHeader>> chosen;
    std::unordered_set<const TMessageHeader*> seen;
    for (size_t i = 1; i < line.Arguments.size(); ++i) {
        auto record = RecordOfMessage(StrToInt(line.Arguments[i]));
        RequireListed(*record, listed);
        if (seen.insert(record.get()).second)
            chosen.push_back(std::move(record));
    }
    return chosen;
}

std::vector<std::shared_ptr<TMessageHeader>> ChosenByUniqueId(const TCommandLine& line)
{
    std::unordered_multimap<std::string, std::shared_ptr<TMessageHeader>> byIdentity;
    for (const auto& record : HeaderRecords())
        byIdentity.emplace(IdentityOf(*record), record);
    std::vector<std::shared_ptr<TMessageHeader>> chosen;
    std::unordered_set<const TMessageHeader*> seen;
    for (size_t i = 1; i < line.Arguments.size(); ++i) {
        const std::string& id = line.Arguments[i];
        const size_t count = byIdentity.count(id);
        if (count == 0)
            throw Exception(WithText(NoSuchUniqueId, VisibleControls(id)));
        if (count > 1)
            throw Exception(WithText(SharedUniqueId, VisibleControls(id)));
        auto record = byIdentity.find(id)->second;
        if (seen.insert(record.get()).second)
            chosen.push_back(std::move(record));
    }
    return chosen;
}

void Delete(const TCommandLine& line, TCommandContext& context)
{
    const auto session = CheckAccount(line.Arguments[0], context);
    const std::vector<std::shared_ptr<TMessageHeader>> chosen =
        line.ByUniqueId ? ChosenByUniqueId(line) : ChosenByNumber(line, *session);
    for (const auto& record : chosen)
        context.Out << CheckLine(*record, context.LocalDates) << '\n';
    context.Out.flush();
    if (!line.Yes && !context.Ui.AskYesNo("Warning", chosen.size() > 1 ? AskDeleteMany : AskDeleteOne)) {
        // A script that forgot --yes must not take "nothing deleted" for success.
        if (context.Ui.InputEnded)
            throw Exception(NoAnswer);
        context.Err << TerminalText(NothingDeleted) << '\n';
        return;
    }
    DeleteWithReport(chosen, context);
}

} // namespace

std::string CheckLine(const TMessageHeader& record, bool localDates)
{
    std::string line = IntToStr(record.Number);
    const auto field = [&line](std::string_view text) {
        line += '\t';
        AppendTabField(line, text);
    };
    field(localDates ? record.DateText() : IsoDateTimeText(record.Msg->Date));
    field(record.SizeText());
    field(record.FromText());
    field(record.ToText());
    field(record.SubjectText());
    field(record.IdText());
    field(record.UniqueId);
    return VisibleControls(line);
}

int RunCommand(const TCommandLine& line, TCommandContext& context)
{
    if (line.Command == "check")
        return Check(line, context);
    if (line.Command == "accounts")
        ListAccounts(context);
    else if (line.Command == "show")
        Show(line, context);
    else if (line.Command == "save")
        Save(line, context);
    else if (line.Command == "delete")
        Delete(line, context);
    else if (line.Command == "trust")
        TrustAccountCertificate(line.Arguments[0], context);
    else if (line.Command == "add")
        AddAccount(line, context);
    else if (line.Command == "password")
        StoreAccountPassword(line.Arguments[0], context, std::cin);
    else if (line.Command == "remove")
        RemoveAccount(line.Arguments[0], context);
    else if (line.Command == "login")
        LogInAccount(line.Arguments[0], line.DeviceCode, context);
    return 0;
}
