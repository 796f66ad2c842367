#include "Commands.h"

#include "Convert.h"
#include "DateText.h"
#include "IdStack.h"
#include "MessageText.h"
#include "AccountCommands.h"
#include "Trust.h"

#include <iostream>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace {

const std::string NoSuchMessage = "Zpráva %d ve schránce není.";
const std::string NotAnAttachment = "Část %d zprávy není příloha.";
const std::string FileExists = "Soubor už existuje, nepřepíšu ho: ";
const std::string AskDeleteMany = "Vymazat vybrané zprávy, opravdu?";
const std::string AskDeleteOne = "Vymazat vybranou zprávu, opravdu?";
const std::string NothingDeleted = "Nic nebylo vymazáno.";
const std::string NoAnswer = "Žádná odpověď, nic nebylo vymazáno.";
const std::string StandardOutput = "-";
const std::string PlainPasswordWarning = "Varování: heslo šlo k serveru %s nešifrovaně.";

std::string WithNumber(const std::string& text, int32_t number)
{
    std::string result = text;
    result.replace(result.find("%d"), 2, IntToStr(number));
    return result;
}

std::shared_ptr<TMessageHeader> RecordOfMessage(int32_t number)
{
    for (const auto& record : HeaderRecords())
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

void CheckAccount(const std::string& account, const TCommandContext& context)
{
    TPOP3Rec record = RecordFromLines(SelectAccount(context.Accounts, account));
    if (context.Password)
        record.Password = *context.Password;
    const auto session = CreateSession(record);
    if (context.Transport)
        session->SetIOHandler(context.Transport);
    try {
        CheckMailbox(session);
    } catch (...) {
        WarnOfPlainPassword(*session, context);
        throw;
    }
    WarnOfPlainPassword(*session, context);
}

void ListAccounts(const TCommandContext& context)
{
    for (size_t i = 0; i < context.Accounts.size(); ++i) {
        const TAccountLines& account = context.Accounts[i];
        context.Out << i + 1;
        for (const std::string* field : {&account.Address, &account.Host, &account.Port, &account.User})
            context.Out << '\t' << TabField(*field);
        context.Out << '\n';
    }
}

void Check(const TCommandLine& line, const TCommandContext& context)
{
    CheckAccount(line.Arguments[0], context);
    for (const auto& record : HeaderRecords())
        context.Out << CheckLine(*record, context.LocalDates) << '\n';
}

void Show(const TCommandLine& line, const TCommandContext& context)
{
    CheckAccount(line.Arguments[0], context);
    const auto record = RecordOfMessage(StrToInt(line.Arguments[1]));
    record->Download();
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
    std::ifstream data(attachment.StoredPath, std::ios::binary);
    char chunk[65536];
    while (data && out) {
        data.read(chunk, sizeof chunk);
        out.write(chunk, data.gcount());
    }
    out.flush();
    if (!data.eof() || !out)
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
    TIdMessageParts& parts = record->Msg->Parts;
    const auto* attachment =
        part < parts.Count() ? dynamic_cast<const TIdAttachment*>(&parts[part]) : nullptr;
    if (!attachment)
        throw Exception(WithNumber(NotAnAttachment, part));
    if (toOutput)
        return CopyToOutput(*attachment, context.Out);
    context.Ui.SaveFileName = file;
    record->SaveAttachment(AttachmentLink(attachment->AttachmentName, part));
}

void Delete(const TCommandLine& line, TCommandContext& context)
{
    CheckAccount(line.Arguments[0], context);
    std::vector<std::shared_ptr<TMessageHeader>> chosen;
    for (size_t i = 1; i < line.Arguments.size(); ++i) {
        auto record = RecordOfMessage(StrToInt(line.Arguments[i]));
        if (std::find(chosen.begin(), chosen.end(), record) == chosen.end())
            chosen.push_back(std::move(record));
    }
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
    DeleteMessages(chosen);
}

} // namespace

std::string CheckLine(const TMessageHeader& record, bool localDates)
{
    std::string line = IntToStr(record.Number);
    const std::string date = localDates ? record.DateText() : IsoDateTimeText(record.Msg->Date);
    for (const std::string& field : {date, record.SizeText(), record.FromText(), record.ToText(),
                                     record.SubjectText(), record.IdText()})
        line += '\t' + TabField(field);
    return VisibleControls(line);
}

void RunCommand(const TCommandLine& line, TCommandContext& context)
{
    if (line.Command == "accounts")
        ListAccounts(context);
    else if (line.Command == "check")
        Check(line, context);
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
}
