#include "KormoranApplication.h"

#include "UserInterface.h"

#include <exception>

bool TKormoranApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        evException();
        return false;
    }
}

void evException()
{
    std::string message = "Unknown exception";
    try {
        throw;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
    }
    UserInterface().ShowError(message);
}
