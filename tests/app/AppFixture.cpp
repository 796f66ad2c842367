#include "AppFixture.h"

#include "HelpFile.h"
#include "udm.h"

#include <cstdlib>
#include <sys/stat.h>

AppFixture::AppFixture() : FInstalledHelpFile(AppFilePath("Kormoran.hlp"))
{
    SetAppFileDirectory(Directory.Path());
    ::setenv("XDG_CONFIG_HOME", Directory.File("config").c_str(), 1);
}

AppFixture::~AppFixture()
{
    SetAppFileDirectory("");
    SetApplicationHelpFile("");
    ::unsetenv("XDG_CONFIG_HOME");
}

void AppFixture::WriteSettings(const std::string& text) const
{
    ::mkdir(Directory.File("config").c_str(), 0700);
    WriteBytes(SettingsPath(), text);
}

void AppFixture::InstallHelpFile() const
{
    WriteBytes(Directory.File("Kormoran.hlp"), ReadBytes(FInstalledHelpFile));
}
