#pragma once
// The exceptions of the network and message layers.

#include "Exception.h"

class EIdException : public Exception {
public:
    using Exception::Exception;
};
