#include "Accounts.h"

#include "Convert.h"
#include "Exception.h"

namespace {

const std::string NoSuchAccount = "Účet neexistuje: ";

} // namespace

const TAccountLines& SelectAccount(const std::vector<TAccountLines>& accounts, const std::string& account)
{
    const auto position = TryStrToInt(account);
    if (position && account.front() != '$' && *position >= 1 && static_cast<size_t>(*position) <= accounts.size())
        return accounts[*position - 1];
    for (const TAccountLines& candidate : accounts)
        if (candidate.Address == account)
            return candidate;
    throw Exception(NoSuchAccount + account);
}
