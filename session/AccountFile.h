#pragma once
// accounts.dat: five lines per account (address, host, user, password, port), in list
// order, each ended by CR LF. The host line carries the security of the connection:
// "pop3s://HOST" is TLS from the first byte, "starttls://HOST" is STLS before the log-in,
// and a bare HOST is TLS with port 995 and plain with any other port. "+oauth2" after the
// scheme ("pop3s+oauth2://HOST", "starttls+oauth2://HOST", "pop3+oauth2://HOST" for a
// plain connection) marks an OAuth2 account; a line without it is a password account, so
// files written before OAuth2 read as they did. Reading takes a line end at LF with or without a CR before
// it; a byte 26 (Ctrl+Z) ends the file; lines missing at the end read as empty texts.
// The file is Windows-1250; the lines are UTF-8 once read.

#include "udm.h"

#include <string>
#include <vector>

// One account as the list keeps it: the port stays text until a record is built.
struct TAccountLines {
    std::string Address;
    std::string Host;
    std::string User;
    std::string Password;
    std::string Port;

    bool operator==(const TAccountLines&) const = default;
};

std::vector<TAccountLines> ParseAccounts(const std::string& bytes);
// Raises ECp1250Error when a text holds a character Windows-1250 cannot hold.
std::string FormatAccounts(const std::vector<TAccountLines>& accounts);

// The accounts in the file; none when it does not exist. Raises EInOutError, its text
// ending with ": " and the path.
std::vector<TAccountLines> LoadAccountFile(const std::string& path);
// The same for a file the user named: a missing one raises "File not found" as well.
std::vector<TAccountLines> LoadExistingAccountFile(const std::string& path);
// Replaces the file as a whole (mode 0600: it holds passwords); a failed save leaves
// the previous file intact. A missing directory is created (mode 0700). Raises
// EInOutError, its text ending with ": " and the path, and ECp1250Error before touching
// the file.
void SaveAccountFile(const std::string& path, const std::vector<TAccountLines>& accounts);

struct THostLine {
    std::string Host;
    TIdConnectionSecurity Security = csNone;
    TLoginMethod Login = lmPassword;
};
// The prefixes are found in any case; "[::1]" and other hosts stay as they are.
THostLine ParseHostLine(const std::string& line, int32_t port);
std::string FormatHostLine(const std::string& host, TIdConnectionSecurity security, TLoginMethod login = lmPassword);

// Raises EConvertError when the port text is not an integer.
TPOP3Rec RecordFromLines(const TAccountLines& lines);
TAccountLines LinesFromRecord(const TPOP3Rec& account);
