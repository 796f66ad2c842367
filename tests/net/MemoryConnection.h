#pragma once
// A connection over the in-memory transport, recording its status texts and
// disconnect events.

#include "IdIOHandlerMemory.h"
#include "IdTCPConnection.h"

#include <string>
#include <vector>

struct MemoryConnection {
    MemoryConnection()
    {
        Connection.SetIOHandler(&Handler);
        Connection.OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) { Events.push_back(text); };
        Connection.OnDisconnected = [this](TIdComponent*) { Events.push_back("OnDisconnected"); };
    }

    // Declared first so that it outlives the connection that uses it.
    TIdIOHandlerMemory Handler;
    TIdTCPConnection Connection;
    std::vector<std::string> Events;
};
