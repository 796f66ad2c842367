#pragma once
// Who runs an OAuth2 sign-in for the account editor: the main window, on its server
// worker with its progress panel, so the editor stays responsive while the browser is
// out. Tests install their own.

#include "udm.h"

#include <exception>
#include <functional>
#include <string>

class TSignInRunner {
public:
    using TDone = std::function<void(std::exception_ptr failure)>;
    using TOpened = std::function<void(const std::string& url)>;

    virtual ~TSignInRunner() = default;
    // Starts the sign-in of account in the system browser and returns at once. opened
    // hears the address given to the browser, done what the sign-in raised (nullptr:
    // signed in) once it has ended; both run on the window's thread. The runner has told
    // the user about a failure by then.
    virtual void StartSignIn(const TPOP3Rec& account, TOpened opened, TDone done) = 0;
    // The running sign-in ends with EOperationCancelled.
    virtual void CancelSignIn() = 0;
};
