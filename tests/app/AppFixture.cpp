#include "AppFixture.h"

#include "HelpFile.h"
#include "udm.h"

#include <cstdlib>
#include <sys/stat.h>

AppFixture::AppFixture() : FInstalledHelpFile(AppFilePath("Kormoran.hlp"))
{
    ::mkdir(Directory.File("bin").c_str(), 0700);
    ::mkdir(Directory.File("config").c_str(), 0700);
    ::mkdir(Directory.File("config/kormoran").c_str(), 0700);
    SetAppFileDirectory(Directory.File("bin"));
    ::setenv("XDG_CONFIG_HOME", Directory.File("config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", Directory.File("state").c_str(), 1);
}

AppFixture::~AppFixture()
{
    SetAppFileDirectory("");
    SetApplicationHelpFile("");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_STATE_HOME");
}

void AppFixture::WriteSettings(const std::string& text) const
{
    WriteBytes(SettingsPath(), text);
}

void AppFixture::InstallHelpFile() const
{
    WriteBytes(Directory.File("bin/Kormoran.hlp"), ReadBytes(FInstalledHelpFile));
}
