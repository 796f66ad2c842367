#pragma once
// kormoran-cli trust ACCOUNT: connects to the account's server, shows the certificate
// that no known authority signed and, when the user agrees, trusts it for the account
// (it replaces an earlier trust).

#include "Commands.h"

void TrustAccountCertificate(const std::string& account, const TCommandContext& context);
