#include "CommandLine.h"

#include "Convert.h"

#include <map>

namespace {

struct TArity {
    size_t Least;
    size_t Most;
};

const std::map<std::string, TArity> Commands = {
    {"accounts", {0, 0}}, {"check", {0, 1}}, {"show", {2, 2}}, {"save", {4, 4}}, {"delete", {2, SIZE_MAX}},
    {"trust", {1, 1}}, {"add", {1, 1}}, {"password", {1, 1}}, {"remove", {1, 1}}, {"login", {1, 1}},
};

const std::string Usage = 
    "Použití: kormoran-cli [volby] PŘÍKAZ [argumenty]\n"
    "\n"
    "Příkazy:\n"
    "  accounts                     vypíše účty (pořadí, adresa, server, port, uživatel)\n"
    "  check [ÚČET]                 zkontroluje schránku (bez ÚČTU všechny): číslo zprávy,\n"
    "                               datum, velikost, odesílatel, příjemce, předmět, ID,\n"
    "                               jedinečné ID na serveru; skončí 0 s novou poštou,\n"
    "                               3 bez ní, 1 při chybě\n"
    "  show ÚČET N                  stáhne zprávu N (bez označení za přečtenou) a vypíše\n"
    "                               ověření odesílatele, hodnocení spamu a text\n"
    "  save ÚČET N ČÁST SOUBOR      uloží přílohu s indexem části ČÁST zprávy N do souboru\n"
    "                               SOUBOR; existující soubor nepřepíše\n"
    "  delete ÚČET N...             po potvrzení vymaže zprávy N... na serveru, jen jsou-li\n"
    "                               to tytéž zprávy, které vypsala poslední kontrola\n"
    "  delete ÚČET --uid UID...     po potvrzení vymaže zprávy s jedinečnými ID UID...\n"
    "  add ADRESA [--host SERVER] [--port PORT] [--security tls|starttls|none] [--user JMÉNO]\n"
    "      [--oauth2]               přidá účet; co chybí, doplní podle známých poskytovatelů;\n"
    "                               s --oauth2 se účet přihlašuje u poskytovatele (OAuth2)\n"
    "  password ÚČET                uloží heslo účtu (ze standardního vstupu) do klíčenky,\n"
    "                               bez ní do souboru účtů\n"
    "  remove ÚČET                  odstraní účet i jeho heslo z klíčenky\n"
    "  login ÚČET [--device]        přihlásí účet OAuth2 u poskytovatele: vypíše adresu pro\n"
    "                               prohlížeč a čeká na návrat z něj; s --device vypíše kód\n"
    "                               zařízení (kde ho poskytovatel nabízí); obnovovací token\n"
    "                               uloží do klíčenky\n"
    "  trust ÚČET                   ukáže certifikát serveru, který nepodepsala žádná známá\n"
    "                               autorita, a po potvrzení mu pro účet důvěřuje\n"
    "\n"
    "ÚČET je pořadí účtu v souboru účtů (od 1) nebo jeho adresa.\n"
    "\n"
    "Volby:\n"
    "  --accounts SOUBOR            soubor účtů (jinak accounts.dat v ~/.config/kormoran,\n"
    "                               nebo vedle programu, je-li tam)\n"
    "  --password-command PŘÍKAZ    heslo účtu je to, co PŘÍKAZ vypíše (první řádek)\n"
    "  --token-command PŘÍKAZ       účet se přihlásí přístupovým tokenem OAuth2, který\n"
    "                               PŘÍKAZ vypíše (první řádek)\n"
    "  --local-dates                data jako v okně programu, ne 2026-01-05 08:12:00 +0100\n"
    "  --new                        check vypíše jen zprávy nové od poslední kontroly\n"
    "  --json                       check vypíše každou zprávu jako jeden objekt JSON\n"
    "  -q, --quiet                  check nevypíše nic, jen skončí s výsledkem\n"
    "  --trace                      vypíše rozhovor se serverem na standardní chybový výstup\n"
    "  --timeout SEKUNDY            nejdelší čekání na připojení a na odpověď serveru\n"
    "  --lines K                    check vypíše pod každou zprávou prvních K řádků textu\n"
    "                               (řádky náhledu začínají tabulátorem; K od 0 do 50)\n"
    "  --yes                        maže bez ptaní\n"
    "  --version                    vypíše verzi programu\n"
    "  --help                       vypíše tuto nápovědu\n"
    "\n"
    "Heslo může přijít i v proměnné prostředí KORMORAN_PASSWORD.\n"
    "SOUBOR příkazu save může být -: příloha jde na standardní výstup.\n";

const std::string UnknownOption = "Neznámá volba: ";
const std::string MissingValue = "Volba potřebuje hodnotu: ";
const std::string BadTimeout = "Volba --timeout potřebuje kladný počet sekund: ";
const std::string BadLines = "Volba --lines potřebuje počet řádků od 0 do 50: ";
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
    if (line.Command == "accounts" || line.Command == "check" || (line.Command == "delete" && line.ByUniqueId) ||
        line.Command == "trust" || line.Command == "add" || line.Command == "password" || line.Command == "remove" ||
        line.Command == "login")
        return;
    // From the second argument on, every argument but the file name of save is a number.
    for (size_t i = 1; i < count; ++i) {
        if (line.Command == "save" && i == 2)
            RequireNumber(line.Arguments[i], 0, NotAPartIndex);
        else if (!(line.Command == "save" && i == 3))
            RequireNumber(line.Arguments[i], 1, NotAMessageNumber);
    }
}

// An option with a value, as "--name VALUE" or "--name=VALUE". Moves i past the value.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name, std::string& value)
{
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size())
            throw EUsage(MissingValue + name);
        value = args[++i];
    } else if (arg.rfind(name + "=", 0) == 0) {
        value = arg.substr(name.size() + 1);
    } else {
        return false;
    }
    if (value.empty())
        throw EUsage(MissingValue + name);
    return true;
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
        } else if (arg == "--local-dates") {
            line.LocalDates = true;
        } else if (arg == "--new") {
            line.NewOnly = true;
        } else if (arg == "--json") {
            line.Json = true;
        } else if (arg == "-q" || arg == "--quiet") {
            line.Quiet = true;
        } else if (arg == "--uid") {
            line.ByUniqueId = true;
        } else if (arg == "--device") {
            line.DeviceCode = true;
        } else if (arg == "--oauth2") {
            line.NewOAuth2 = true;
        } else if (arg == "--version") {
            line.Version = true;
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
        } else if (std::string lines; TakeValue(args, i, "--lines", lines)) {
            const auto value = TryStrToInt(lines);
            if (!value || *value < 0 || *value > 50 || lines.front() == '$')
                throw EUsage(BadLines + lines);
            line.PreviewLines = *value;
        } else if (!TakeValue(args, i, "--accounts", line.AccountsFile)
                   && !TakeValue(args, i, "--password-command", line.PasswordCommand)
                   && !TakeValue(args, i, "--token-command", line.TokenCommand)
                   && !TakeValue(args, i, "--host", line.NewHost) && !TakeValue(args, i, "--port", line.NewPort)
                   && !TakeValue(args, i, "--security", line.NewSecurity)
                   && !TakeValue(args, i, "--user", line.NewUser)) {
            throw EUsage(UnknownOption + arg);
        }
    }
    if (line.Help || line.Version)
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

std::string VersionText()
{
    return "kormoran-cli " KORMORAN_VERSION;
}
