#pragma once
// login ACCOUNT: signs an OAuth2 account in from the terminal. The authorization URL is
// printed for the user to open in a browser, and the program waits on 127.0.0.1 for the
// browser to come back; with --device the provider's device code is shown instead, to be
// typed on any device. The refresh token goes to the keyring.

#include "Commands.h"

void LogInAccount(const std::string& account, bool deviceCode, TCommandContext& context);
