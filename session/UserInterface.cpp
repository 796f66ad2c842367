#include "UserInterface.h"

namespace {

class TSilentUserInterface : public TUserInterface {
public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> AskSaveFileName(const std::string&) override { return std::nullopt; }
    void OpenUrl(const std::string&) override {}
    void Beep() override {}
};

TSilentUserInterface SilentUserInterface;
TUserInterface* Installed = nullptr;

} // namespace

TUserInterface& UserInterface()
{
    return Installed ? *Installed : SilentUserInterface;
}

TUserInterface* SetUserInterface(TUserInterface* ui)
{
    TUserInterface* previous = Installed;
    Installed = ui;
    return previous;
}
