#include "FileLocations.h"

#include "udm.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// Set by the build: the data directory relative to the directory of the installed
// executables, e.g. "../share/kormoran".
#ifndef KORMORAN_DATA_DIR_FROM_BIN
#define KORMORAN_DATA_DIR_FROM_BIN "../share/kormoran"
#endif

namespace {

// A symbolic link counts even when what it points to is not there yet.
bool FileExists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

std::string EnvironmentText(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// $HOME, else the home directory of the user's account.
std::string HomeDirectory()
{
    const std::string home = EnvironmentText("HOME");
    if (!home.empty())
        return home;
    const passwd* account = ::getpwuid(::getuid());
    return account && account->pw_dir ? account->pw_dir : ".";
}

} // namespace

std::string ConfigDirectory()
{
    const std::string configHome = EnvironmentText("XDG_CONFIG_HOME");
    if (!configHome.empty() && configHome.front() == '/')
        return configHome + "/kormoran";
    return HomeDirectory() + "/.config/kormoran";
}

std::string StateDirectory()
{
    const std::string stateHome = EnvironmentText("XDG_STATE_HOME");
    if (!stateHome.empty() && stateHome.front() == '/')
        return stateHome + "/kormoran";
    return HomeDirectory() + "/.local/state/kormoran";
}

std::string AccountFilePath()
{
    const std::string portable = AppFilePath("accounts.dat");
    return FileExists(portable) ? portable : ConfigDirectory() + "/accounts.dat";
}

std::string SettingsFilePath()
{
    return ConfigDirectory() + "/kormoran.ini";
}

std::string HelpFilePath()
{
    const std::string besideExecutable = AppFilePath("Kormoran.hlp");
    if (FileExists(besideExecutable))
        return besideExecutable;
    return std::filesystem::path(AppFilePath(KORMORAN_DATA_DIR_FROM_BIN "/Kormoran.hlp")).lexically_normal();
}
