#include "IdException.h"

namespace {

std::string WithSystemText(std::string message, const std::string& systemText)
{
    if (!systemText.empty())
        message += ": " + systemText;
    return message;
}

} // namespace

EIdWS2StubError EIdWS2StubError::LoadingLibrary(const std::string& library, const std::string& systemText)
{
    return EIdWS2StubError(WithSystemText("Error on loading Winsock2 library (" + library + ")", systemText),
                           library, 0);
}

EIdWS2StubError EIdWS2StubError::CallingFunction(const std::string& function, int32_t win32Error,
                                                 const std::string& systemText)
{
    return EIdWS2StubError(WithSystemText("Error on call Winsock2 library function " + function, systemText),
                           function, win32Error);
}
