#include "ScriptedUserInterface.h"

#include "QtText.h"

TScriptedUserInterface::TScriptedUserInterface() : FPrevious(SetUserInterface(this)) {}

TScriptedUserInterface::~TScriptedUserInterface()
{
    SetUserInterface(FPrevious);
}

bool TScriptedUserInterface::AskYesNo(const std::string& caption, const std::string& question)
{
    Questions.push_back(caption + "|" + question);
    if (Answers.empty())
        return false;
    bool answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::optional<std::string> TScriptedUserInterface::AskSaveFileName(const std::string& proposedName)
{
    SaveRequests.push_back(proposedName);
    if (SaveAnswers.empty())
        return std::nullopt;
    std::string answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
}

TModalScript::TModalScript()
{
    FPrevious = SetModalRunner([this](QDialog& dialog) {
        Shown.push_back(FromQt(dialog.windowTitle()));
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (Answer)
            Answer(dialog);
        dialog.hide();
        return dialog.result();
    });
}

TModalScript::~TModalScript()
{
    SetModalRunner(std::move(FPrevious));
}
