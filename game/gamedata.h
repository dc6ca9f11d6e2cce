// The settings file "Solvane.ini" beside the executable: the user settings record and the
// readers and writers that own each part of the file. A missing key, an empty value or a
// value that does not convert keeps the setting as it was or takes the key's default; the
// writers create the file when it is missing. Nothing here is ever reported to the player.
#pragma once
#include <cstdint>

#include "foundation/zrstring.h"

// The user settings of the [Game] section, edited by the configuration menu and read by the
// scenes. Written only on the flow thread; no lock.
class UserConfig {
  public:
    UserConfig();
    // Reads the settings file; keys that are missing or unusable leave their field alone.
    void Load();
    // Writes every field, creating the file when it is missing.
    void Save() const;

    int32_t MesBoxTrans;    // stored only
    int32_t UserTextSpeed;  // percent, 0-200
    int32_t AutoSkipWait;   // auto mode wait in milliseconds, 0-5000
    bool SimpleDisplay;
    bool ShowPlaceName;
    bool AllTextSkip;
    bool EffectCanSkip;
    int32_t RightClickType;  // 0-4
    bool ExitConfirm;
    bool SaveConfirm;
    bool LoadConfirm;  // stored only
};

// The program's one user settings record.
extern UserConfig UserSettings;

// The frame-rate modes and volumes the main window keeps; filled by its settings reader
// before the sound device exists and written back when the window is destroyed.
struct FormSettings {
    uint8_t FpsMode = 2;  // 0 15 fps, 1 30 fps, 2 full, 3 no sync
    int32_t VolumeBGM = 50;
    int32_t VolumeVoice = 100;
    int32_t VolumeSE = 80;
    int32_t VolumeRear = 90;
};

// The settings file: the executable's directory followed by "Solvane.ini" (a game path).
ZRString ConfigFilePath();
// Tests only: puts the settings file elsewhere; an empty path restores the usual place.
void SetConfigFilePath(const ZRString& path);

// Start-up, before the command line: [Game] WindowMode, [Game Debug] ShowFPS, CapEnable,
// AlbumShowAll and [Fullscreen] Height into the display globals.
void LoadConfigFile();
// After the message loop: [Game] WindowMode from DisplayKind.
void SaveWindowMode();
// The main window's part: [Game] FPSMode and the four volumes.
void LoadFormSettings(FormSettings& s);
// [Game] WindowMode from DisplayKind, then FPSMode and the four volumes.
void SaveFormSettings(const FormSettings& s);
