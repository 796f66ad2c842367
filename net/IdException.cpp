#include "IdException.h"

namespace {

std::string WithSystemText(std::string message, const std::string& systemText)
{
    if (!systemText.empty())
        message += ": " + systemText;
    return message;
}

const std::string SilentServerText = "Server neodpovídá: ";
const std::string ReplyTooLongText = "Odpověď serveru je příliš dlouhá.";

} // namespace

EIdConnectTimeout::EIdConnectTimeout(const std::string& host) : EIdException(SilentServerText + host) {}

EIdReadTimeout::EIdReadTimeout(const std::string& host) : EIdException(SilentServerText + host) {}

EIdReplyTooLong::EIdReplyTooLong() : EIdException(ReplyTooLongText) {}

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
