#include "FileLocations.h"

#include "udm.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

bool IsDirectory(const std::string& path)
{
    struct stat status {};
    return !path.empty() && path.front() == '/' && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// XDG_DOWNLOAD_DIR="$HOME/Stažené" from user-dirs.dirs: the value with $HOME expanded.
std::string UserDirsDownloadDirectory()
{
    const std::string configHome = EnvironmentText("XDG_CONFIG_HOME");
    const std::string directory =
        !configHome.empty() && configHome.front() == '/' ? configHome : HomeDirectory() + "/.config";
    std::ifstream file(directory + "/user-dirs.dirs");
    const std::string key = "XDG_DOWNLOAD_DIR=\"";
    for (std::string line; std::getline(file, line);) {
        if (!line.starts_with(key) || line.size() <= key.size() || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.starts_with("$HOME"))
            value = HomeDirectory() + value.substr(5);
        return value;
    }
    return {};
}

} // namespace

std::string DownloadDirectory()
{
    for (const std::string& candidate : {EnvironmentText("XDG_DOWNLOAD_DIR"), UserDirsDownloadDirectory()})
        if (IsDirectory(candidate))
            return candidate;
    return HomeDirectory();
}

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
