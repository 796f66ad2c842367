#pragma once
// The program's own settings in kormoran.ini, in sections of their own beside the
// window's:
//   [CHECK] INTERVAL (minutes, 0: no scheduled check), ATSTART
//   [NOTIFY] NEWMAIL   [TRAY] CLOSE, START
// Flags are 0 or 1.

#include "WindowSettings.h"

const TWindowSetting SettingCheckInterval{"CHECK", "INTERVAL", 0};
const TWindowSetting SettingCheckAtStart{"CHECK", "ATSTART", 0};
const TWindowSetting SettingNotify{"NOTIFY", "NEWMAIL", 1};
const TWindowSetting SettingCloseToTray{"TRAY", "CLOSE", 0};
const TWindowSetting SettingStartInTray{"TRAY", "START", 0};

// The longest interval the dialog offers: a week.
constexpr int32_t MostCheckMinutes = 7 * 24 * 60;

struct TAppSettings {
    int32_t CheckMinutes = 0;
    bool CheckAtStart = false;
    bool Notify = true;
    bool CloseToTray = false;
    bool StartInTray = false;
};

// Values out of range count as their defaults. Never raises.
TAppSettings ReadAppSettings(const TIniFile& ini);
// Raises EIniFileException.
void WriteAppSettings(TIniFile& ini, const TAppSettings& settings);
