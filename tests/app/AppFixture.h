#pragma once
// A fixture for the window tests: accounts.dat and Kormoran.hlp in a temporary
// directory, kormoran.ini in a temporary configuration directory, and the person at the
// screen played by a script.

#include "ScriptedUserInterface.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

class AppFixture : public ::testing::Test {
protected:
    AppFixture();
    ~AppFixture() override;

    std::string AccountsPath() const { return Directory.File("accounts.dat"); }
    std::string SettingsPath() const { return Directory.File("config/kormoran.ini"); }
    void WriteSettings(const std::string& text) const;
    // The help file the build installed, copied beside the accounts.
    void InstallHelpFile() const;

    TTemporaryDirectory Directory;
    TScriptedUserInterface Ui;
    TModalScript Modal;

private:
    std::string FInstalledHelpFile;
};
