#pragma once
// kormoran.ini: the main window's position, size and divider positions.
//   [POSITION] TOP, LEFT   [SIZE] HEIGHT, WIDTH   [SPLIT] VERTICAL, HORIZONTAL
//   [TRIAGE] PREVIEWLINES, RETR

#include "FileLocations.h"
#include "IniFile.h"

#include <cstdint>
#include <string>

// One stored value with its place in the file and its default.
struct TWindowSetting {
    const char* Section;
    const char* Key;
    int32_t Default;
};

const TWindowSetting SettingTop{"POSITION", "TOP", 20};
const TWindowSetting SettingLeft{"POSITION", "LEFT", 20};
const TWindowSetting SettingHeight{"SIZE", "HEIGHT", 450};
const TWindowSetting SettingWidth{"SIZE", "WIDTH", 580};
const TWindowSetting SettingVertical{"SPLIT", "VERTICAL", 185};
const TWindowSetting SettingHorizontal{"SPLIT", "HORIZONTAL", 105};
// What a check and a download ask of the server: preview lines of text under each
// message (0: none), and RETR for downloads (1) instead of TOP, which leaves mail unread.
const TWindowSetting SettingPreviewLines{"TRIAGE", "PREVIEWLINES", 0};
const TWindowSetting SettingDownloadWithRetr{"TRIAGE", "RETR", 0};

// The value as a decimal or, after "$", "0x" or "0X", hexadecimal integer; the default
// when the value is missing or not an integer. Never raises.
int32_t ReadSetting(const TIniFile& ini, const TWindowSetting& setting);
// Raises EIniFileException. Creates the configuration directory when it is missing.
void WriteSetting(TIniFile& ini, const TWindowSetting& setting, int32_t value);
