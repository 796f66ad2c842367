#include "WindowSettings.h"

#include "Convert.h"

#include <cstdlib>
#include <sys/stat.h>

namespace {

std::string ConfigurationDirectory()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && *configHome)
        return configHome;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config";
}

void CreateParentDirectory(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        ::mkdir(path.substr(0, slash).c_str(), 0700);   // when it exists, nothing happens
}

} // namespace

std::string SettingsFilePath()
{
    return ConfigurationDirectory() + "/kormoran.ini";
}

int32_t ReadSetting(const TIniFile& ini, const TWindowSetting& setting)
{
    std::string text = ini.ReadString(setting.Section, setting.Key, "");
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    return StrToIntDef(text, setting.Default);
}

void WriteSetting(TIniFile& ini, const TWindowSetting& setting, int32_t value)
{
    CreateParentDirectory(ini.FileName());
    ini.WriteString(setting.Section, setting.Key, IntToStr(value));
}
