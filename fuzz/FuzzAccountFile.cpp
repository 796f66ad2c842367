// accounts.dat as it is read; a save of what was read must read back the same, and so
// must an account that is saved again after it was read.
#include "AccountFile.h"
#include "Exception.h"
#include "FuzzSupport.h"

namespace {

bool SameAccounts(const std::vector<TAccountLines>& a, const std::vector<TAccountLines>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Address != b[i].Address || a[i].Host != b[i].Host || a[i].User != b[i].User
            || a[i].Password != b[i].Password || a[i].Port != b[i].Port)
            return false;
    return true;
}

bool SameRecord(const TPOP3Rec& a, const TPOP3Rec& b)
{
    return a.Address == b.Address && a.Host == b.Host && a.User == b.User && a.Password == b.Password
           && a.Port == b.Port && a.Security == b.Security;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<TAccountLines> accounts = ParseAccounts(std::string(InputText(data, size)));
    for (const TAccountLines& lines : accounts) {
        TPOP3Rec record;
        try {
            record = RecordFromLines(lines);
        } catch (const Exception&) {
            continue;   // a port that is no number
        }
        if (!SameRecord(RecordFromLines(LinesFromRecord(record)), record))
            FuzzFailure("a saved account read back differently");
    }
    if (!SameAccounts(ParseAccounts(FormatAccounts(accounts)), accounts))
        FuzzFailure("saved accounts read back differently");
    return 0;
}
