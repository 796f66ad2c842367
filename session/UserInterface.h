#pragma once
// The one seam between the program and the person in front of it, outside the main
// window's own controls: message boxes, the save dialog, the desktop shell and the beep.
// The window installs a Qt implementation; the tests and the command-line front end
// install their own, so nothing ever blocks on a modal window it cannot answer.
// All texts are UTF-8; a path is handed to the system as it is.

#include <optional>
#include <string>

class TUserInterface {
public:
    virtual ~TUserInterface() = default;

    // The modal error box: caption "Error", one "Cancel" button, the message unchanged.
    virtual void ShowError(const std::string& message) = 0;
    // A modal warning box with "&Yes" and "&No"; true only on Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& question) = 0;
    // The save dialog, proposing proposedName; it asks before overwriting an existing
    // file. The chosen full path, or nothing when the user cancels.
    virtual std::optional<std::string> AskSaveFileName(const std::string& proposedName) = 0;
    // Hands a link to the desktop ("open").
    virtual void OpenUrl(const std::string& url) = 0;
    virtual void Beep() = 0;
};

// The installed seam. Until one is installed, a silent one answers: errors and links go
// nowhere, every question is answered No and every save dialog is cancelled.
TUserInterface& UserInterface();
// Installs ui (not owned; nullptr restores the silent one) and returns the previous one.
TUserInterface* SetUserInterface(TUserInterface* ui);
