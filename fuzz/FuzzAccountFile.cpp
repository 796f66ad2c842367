// accounts.dat as it is read; a save of what was read must read back the same.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<TAccountLines> accounts = ParseAccounts(std::string(InputText(data, size)));
    for (const TAccountLines& lines : accounts) {
        try {
            LinesFromRecord(RecordFromLines(lines));
        } catch (const Exception&) {
        }
    }
    if (!SameAccounts(ParseAccounts(FormatAccounts(accounts)), accounts))
        FuzzFailure("saved accounts read back differently");
    return 0;
}
