#pragma once
// Accounts from the terminal: add, password and remove change the account file as the
// window does (a password goes into the keyring where one answers).

#include "Commands.h"

#include <istream>

// add ADDRESS: what --host, --port, --security and --user do not give comes from the
// provider presets, else from the address (as the editor fills it) and TLS on 995.
void AddAccount(const TCommandLine& line, TCommandContext& context);
// password ACCOUNT: the first line of in (asked for with echo off on a terminal).
void StoreAccountPassword(const std::string& account, TCommandContext& context, std::istream& in);
// remove ACCOUNT: out of the file, and its password out of the keyring.
void RemoveAccount(const std::string& account, TCommandContext& context);
