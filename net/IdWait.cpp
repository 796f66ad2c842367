#include "IdWait.h"

namespace {

TIdWaitHook Hook;

} // namespace

TIdWaitHook SetWaitHook(TIdWaitHook hook)
{
    TIdWaitHook previous = std::move(Hook);
    Hook = std::move(hook);
    return previous;
}

void RunWaitHook()
{
    if (Hook)
        Hook();
}

bool HasWaitHook()
{
    return static_cast<bool>(Hook);
}
