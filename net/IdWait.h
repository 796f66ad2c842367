#pragma once
// The hook that runs while a connection waits on the network. Every wait of every
// transport goes through the stack's SelectReadable and SelectWritable, which wake up
// every WaitSliceMs to run it: the window repaints and sees its cancel button meanwhile.
// The hook may raise; the exception leaves the wait unchanged (that is how a cancel
// ends a read), and the POP3 client drops the connection it interrupted.

#include <functional>

using TIdWaitHook = std::function<void()>;

constexpr int WaitSliceMs = 50;

// Installs hook for the calling thread's waits (an empty one: they run undisturbed) and
// returns the previous one.
TIdWaitHook SetWaitHook(TIdWaitHook hook);
// Runs the installed hook, if any.
void RunWaitHook();
// Whether a hook is installed; without one a wait need not be cut into slices.
bool HasWaitHook();
