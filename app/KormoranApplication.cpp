#include "KormoranApplication.h"

#include "ErrorSentence.h"
#include "UserInterface.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

TKormoranApplication::TKormoranApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    InstallFrameworkTranslations();
}

bool InstallFrameworkTranslations()
{
    auto* translator = new QTranslator(qApp);
    if (!translator->load("qtbase_cs", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

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
        message = ErrorBoxText(error);
    } catch (...) {
    }
    UserInterface().ShowError(message);
}
