#include "AppSettings.h"

namespace {

bool ReadFlag(const TIniFile& ini, const TWindowSetting& setting)
{
    const int32_t value = ReadSetting(ini, setting);
    return value == 0 || value == 1 ? value == 1 : setting.Default == 1;
}

} // namespace

TAppSettings ReadAppSettings(const TIniFile& ini)
{
    TAppSettings settings;
    const int32_t minutes = ReadSetting(ini, SettingCheckInterval);
    settings.CheckMinutes = minutes >= 0 && minutes <= MostCheckMinutes ? minutes : SettingCheckInterval.Default;
    settings.CheckAtStart = ReadFlag(ini, SettingCheckAtStart);
    settings.Notify = ReadFlag(ini, SettingNotify);
    settings.CloseToTray = ReadFlag(ini, SettingCloseToTray);
    settings.StartInTray = ReadFlag(ini, SettingStartInTray);
    return settings;
}

void WriteAppSettings(TIniFile& ini, const TAppSettings& settings)
{
    WriteSetting(ini, SettingCheckInterval, settings.CheckMinutes);
    WriteSetting(ini, SettingCheckAtStart, settings.CheckAtStart);
    WriteSetting(ini, SettingNotify, settings.Notify);
    WriteSetting(ini, SettingCloseToTray, settings.CloseToTray);
    WriteSetting(ini, SettingStartInTray, settings.StartInTray);
}
