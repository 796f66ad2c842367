#include "WindowSettings.h"

#include "Convert.h"
#include "Exception.h"
#include "FileContents.h"

namespace {

void CreateParentDirectory(const std::string& path)
{
    try {
        CreateDirectoryFor(path);
    } catch (const EInOutError&) {
        // The write that follows fails and says so in its own words.
    }
}

} // namespace

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
