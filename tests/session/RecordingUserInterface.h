#pragma once
// The seam as the session tests answer it: links handed to the desktop and names the
// save dialog proposed are recorded; the dialog answers with Answer (nothing: cancel).
// Installed for as long as the object lives.

#include "UserInterface.h"

#include <string>
#include <vector>

class TRecordingUserInterface : public TUserInterface {
public:
    TRecordingUserInterface() : FPrevious(SetUserInterface(this)) {}
    ~TRecordingUserInterface() override { SetUserInterface(FPrevious); }

    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> AskSaveFileName(const std::string& proposedName) override
    {
        Proposed.push_back(proposedName);
        return Answer;
    }
    void OpenUrl(const std::string& url) override { Opened.push_back(url); }
    void Beep() override {}

    std::optional<std::string> Answer;
    std::vector<std::string> Proposed;
    std::vector<std::string> Opened;

private:
    TUserInterface* FPrevious;
};
