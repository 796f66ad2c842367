#pragma once
// The message a failing call raises, for tests that compare it with what the user reads.

#include <string>

// The message of the ExceptionType that the call raises, "" when it raises none.
template <typename ExceptionType, typename Call>
std::string MessageOf(Call call)
{
    try {
        call();
    } catch (const ExceptionType& failure) {
        return failure.Message;
    }
    return "";
}
