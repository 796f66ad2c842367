#pragma once
// Stand-ins for the person at the screen: a user interface that records what the
// program shows and answers from a script, and a runner for the program's own modal
// windows. Both are installed for the life of the object.

#include "ModalRunner.h"
#include "UserInterface.h"

#include <deque>
#include <functional>
#include <vector>

class TScriptedUserInterface : public TUserInterface {
public:
    TScriptedUserInterface();
    ~TScriptedUserInterface() override;

    void ShowError(const std::string& message) override { Errors.push_back(message); }
    bool AskYesNo(const std::string& caption, const std::string& question) override;
    std::optional<std::string> AskSaveFileName(const std::string& proposedName) override;
    void OpenUrl(const std::string& url) override { Urls.push_back(url); }
    void Beep() override { ++Beeps; }

    std::vector<std::string> Errors;
    std::vector<std::string> Questions;   // caption + "|" + question
    std::deque<bool> Answers;             // an empty script answers No
    std::vector<std::string> Urls;
    std::vector<std::string> SaveRequests;   // the proposed names
    std::deque<std::string> SaveAnswers;     // an empty script cancels
    int Beeps = 0;

private:
    TUserInterface* FPrevious;
};

// Shows every modal window of the program without a loop of its own and runs Answer:
// fills in the dialog and closes it (accept(), reject(), a click), and the dialog's
// result is what the program gets. Without an answer a window is closed with Rejected.
class TModalScript {
public:
    TModalScript();
    ~TModalScript();

    std::function<void(QDialog&)> Answer;
    std::vector<std::string> Shown;   // window captions, in order

private:
    TModalRunner FPrevious;
};
