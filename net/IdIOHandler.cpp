#include "IdIOHandler.h"

void TIdIOHandler::ConnectTo(const std::string&, int32_t, int32_t, int32_t, int32_t, int32_t, const std::string&)
{
}
