#include "IdWait.h"

namespace {

// Each thread has its own: the operations of a worker thread do not disturb the waits
// of another thread's connections.
thread_local TIdWaitHook Hook;

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
