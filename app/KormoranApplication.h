#pragma once
// The application object. Every exception that leaves an event handler ends up in
// notify(), which shows it in the error box and lets the program carry on.

#include <QApplication>

class TKormoranApplication : public QApplication {
public:
    TKormoranApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The framework's own texts (the save dialog, the context menus of text fields) in
// Czech, from the translations installed with Qt. False when they are missing; the
// framework then speaks English.
bool InstallFrameworkTranslations();

// Shows the exception being handled in the error box: a Czech sentence for the failures
// a person meets (ErrorSentence.h), then the exception's own message. Call it
// only inside a catch block.
void evException();
