#include "CommandLine.h"

#include "Convert.h"

#include <map>

namespace {

struct TArity {
    size_t Least;
    size_t Most;
};

const std::map<std::string, TArity> Commands = {
    {"accounts", {0, 0}}, {"check", {1, 1}}, {"show", {2, 2}}, {"save", {4, 4}}, {"delete", {2, SIZE_MAX}},
};

const std::string Usage = 
    "Použití: kormoran-cli [volby] PŘÍKAZ [argumenty]\n"
    "\n"
    "Příkazy:\n"
    "  accounts                     vypíše účty (pořadí, adresa, server, port, uživatel)\n"
    "  check ÚČET                   zkontroluje schránku: číslo zprávy, datum, velikost,\n"
    "                               odesílatel, příjemce, předmět, ID\n"
    "  show ÚČET N                  stáhne zprávu N a vypíše její text\n"
    "  save ÚČET N ČÁST SOUBOR      uloží přílohu s indexem části ČÁST zprávy N do souboru\n"
    "                               SOUBOR; existující soubor nepřepíše\n"
    "  delete ÚČET N...             po potvrzení vymaže zprávy N... na serveru\n"
    "\n"
    "ÚČET je pořadí účtu v souboru účtů (od 1) nebo jeho adresa.\n"
    "\n"
    "Volby:\n"
    "  --accounts SOUBOR            soubor účtů (jinak accounts.dat vedle programu)\n"
    "  --trace                      vypíše rozhovor se serverem na standardní chybový výstup\n"
    "  --timeout SEKUNDY            nejdelší čekání na připojení a na odpověď serveru\n"
    "  --yes                        maže bez ptaní\n"
    "  --help                       vypíše tuto nápovědu\n";

const std::string UnknownOption = "Neznámá volba: ";
const std::string MissingValue = "Volba --accounts potřebuje jméno souboru.";
const std::string BadTimeout = "Volba --timeout potřebuje kladný počet sekund: ";
const std::string NoCommand = "Chybí příkaz.";
const std::string UnknownCommand = "Neznámý příkaz: ";
const std::string WrongCount = "Nesprávný počet argumentů příkazu ";
const std::string NotAMessageNumber = "Číslo zprávy musí být kladné celé číslo: ";
const std::string NotAPartIndex = "Index části musí být celé číslo od 0: ";

void RequireNumber(const std::string& text, int32_t least, const std::string& complaint)
{
    const auto value = TryStrToInt(text);
    if (!value || *value < least || text.front() == '$')
        throw EUsage(complaint + text);
}

void CheckArguments(const TCommandLine& line)
{
    const auto command = Commands.find(line.Command);
    if (command == Commands.end())
        throw EUsage(UnknownCommand + line.Command);
    const size_t count = line.Arguments.size();
    if (count < command->second.Least || count > command->second.Most)
        throw EUsage(WrongCount + line.Command + ".");
    if (line.Command == "accounts" || line.Command == "check")
        return;
    // From the second argument on, every argument but the file name of save is a number.
    for (size_t i = 1; i < count; ++i) {
        if (line.Command == "save" && i == 2)
            RequireNumber(line.Arguments[i], 0, NotAPartIndex);
        else if (!(line.Command == "save" && i == 3))
            RequireNumber(line.Arguments[i], 1, NotAMessageNumber);
    }
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLine line;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            words.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.Help = true;
        } else if (arg == "--trace") {
            line.Trace = true;
        } else if (arg == "--yes") {
            line.Yes = true;
        } else if (arg == "--timeout" || arg.rfind("--timeout=", 0) == 0) {
            std::string seconds;
            if (arg != "--timeout")
                seconds = arg.substr(10);
            else if (i + 1 < args.size())
                seconds = args[++i];
            const auto value = TryStrToInt(seconds);
            if (!value || *value < 1 || *value > 86400 || seconds.front() == '$')
                throw EUsage(BadTimeout + seconds);
            line.TimeoutSeconds = *value;
        } else if (arg == "--accounts") {
            if (i + 1 >= args.size())
                throw EUsage(MissingValue);
            line.AccountsFile = args[++i];
        } else if (arg.rfind("--accounts=", 0) == 0) {
            line.AccountsFile = arg.substr(11);
            if (line.AccountsFile.empty())
                throw EUsage(MissingValue);
        } else {
            throw EUsage(UnknownOption + arg);
        }
    }
    if (line.Help)
        return line;
    if (words.empty())
        throw EUsage(NoCommand);
    line.Command = words.front();
    line.Arguments.assign(words.begin() + 1, words.end());
    CheckArguments(line);
    return line;
}

std::string UsageText()
{
    return Usage;
}
