#pragma once
// The user-interface seam with Qt: message boxes, the save dialog, the desktop shell
// and the beep.

#include "UserInterface.h"

#include <QMessageBox>
#include <memory>

class TQtUserInterface : public TUserInterface {
public:
    void ShowError(const std::string& message) override;
    bool AskYesNo(const std::string& caption, const std::string& question) override;
    std::optional<std::string> AskSaveFileName(const std::string& proposedName) override;
    void OpenUrl(const std::string& url) override;
    void Beep() override;
};

// The framework's captions "Error" and "Warning" in the desktop's language (Czech);
// any other caption unchanged.
QString FrameworkCaption(const std::string& caption);
// The error box, ready to run: caption "Error" translated, error icon, the message
// unchanged as plain text, one "OK" button in the framework's translation, top-left corner at the owner's left + 50 and
// top + 50 (screen coordinates); centred on the screen without an owner.
std::unique_ptr<QMessageBox> CreateErrorBox(const std::string& message, const QWidget* owner);
// The question box: warning icon, caption (translated as above), question, "Yes" and
// "No" in the framework's translation, No the default.
std::unique_ptr<QMessageBox> CreateQuestionBox(const std::string& caption, const std::string& question);
// Only these links go to the desktop; anything else (file:, custom schemes) is dropped.
bool IsLinkForDesktop(const std::string& url);
