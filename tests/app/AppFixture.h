#pragma once
// A fixture for the window tests: a temporary directory standing in for the
// executable's (bin/, where Kormoran.hlp goes) and a temporary configuration directory
// with accounts.dat and kormoran.ini, and the person at the screen played by a script.

#include "ScriptedUserInterface.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

class AppFixture : public ::testing::Test {
protected:
    AppFixture();
    ~AppFixture() override;

    std::string AccountsPath() const { return Directory.File("config/kormoran/accounts.dat"); }
    std::string SettingsPath() const { return Directory.File("config/kormoran/kormoran.ini"); }
    void WriteSettings(const std::string& text) const;
    // The help file the build installed, copied beside the accounts.
    void InstallHelpFile() const;

    TTemporaryDirectory Directory;
    TScriptedUserInterface Ui;
    TModalScript Modal;

private:
    std::string FInstalledHelpFile;
};
